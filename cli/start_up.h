#pragma once
// The start-up of a command that needs the program's settings.

namespace cli {

// Runs SysInitSx through the installed message handler and says, unless `quiet`, where
// a missing base settings file was created; one that cannot be written is reported and
// the defaults are used. False when the user chose Cancel: the program then ends with
// exit status 0 and writes nothing.
bool StartUp(bool quiet);

}  // namespace cli
