#pragma once
// Signals a command-line run cares about: a stop request from the terminal or the
// system, and a file-size limit that must fail a write instead of killing the program.

#include <atomic>

namespace platform {

// SIGINT and SIGTERM set a flag instead of ending the program (and are unblocked); a
// second one of them ends it the ordinary way. Safe to call more than once.
void InstallStopSignals();
// True once SIGINT or SIGTERM arrived after InstallStopSignals.
bool StopSignalReceived();
// The flag itself, for a read that tests it between buffers.
const std::atomic<bool>* StopSignalFlag();
// Clears the flag (tests).
void ResetStopSignal();

// Writes beyond the file-size limit (ulimit -f) then fail with an error instead of
// raising SIGXFSZ, which would end the program without a word.
void IgnoreFileSizeSignal();

// Width of the terminal on `fd` in columns; 0 when it is not a terminal or unknown.
int TerminalColumns(int fd);

}  // namespace platform
