#pragma once
// The help texts of checker-cli: the whole program's and each command's. They go to
// stdout.

#include <string>
#include <string_view>

namespace cli {

// "checker-cli --help".
std::string ProgramUsage();

// "checker-cli COMMAND --help" for every command, laid out from its option table; empty
// for any other word.
std::string CommandUsage(std::string_view command);

// True when `arg` asks for help ("--help" or "-h").
bool IsHelpOption(std::string_view arg);

// Prints CommandUsage(command) on stdout and returns the exit status 0.
int PrintCommandUsage(std::string_view command);

}  // namespace cli
