#pragma once
// The commands of checker-cli. Each takes the arguments after the command word and
// returns the process exit status (2 for a usage error).

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int RunIdCommand(const Args& args);
int RunVolumeCommand(const Args& args);
int RunNamesCommand(const Args& args);
int RunListCommand(const Args& args);
int RunScanCommand(const Args& args, bool continue_run);
int RunCompareCommand(const Args& args);
int RunVerifyCommand(const Args& args);
int RunVolumesCommand(const Args& args);
int RunFindCommand(const Args& args);
int RunCopiesCommand(const Args& args);
int RunRepairCommand(const Args& args);

// Prints "checker-cli: <message>" on stderr and returns 2.
int UsageError(const std::string& message);

}  // namespace cli
