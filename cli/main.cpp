// checker-cli: the scan engine without a window.

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "cli/usage.h"
#include "platform/console.h"
#include "platform/interrupt.h"

namespace {

constexpr char kTryHelp[] = "Try 'checker-cli --help' for more information.\n";

int Run(int argc, char** argv) {
  if (argc < 2) {
    cli::PrintMessage("missing command");
    std::cerr << kTryHelp;
    return 2;
  }
  const std::string command = argv[1];
  // A stop that comes while the lists are read or backed up still ends the run as one.
  if (command == "scan" || command == "continue" || command == "verify" || command == "scrub" ||
      command == "repair") {
    platform::InstallStopSignals();
  }
  cli::Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    std::cout << cli::ProgramUsage();
    return 0;
  }
  if (command == "--version") {
    std::cout << "checker-cli " CHECKER_VERSION "\n";
    return 0;
  }
  if (command == "scan") return cli::RunScanCommand(args, false);
  if (command == "continue") return cli::RunScanCommand(args, true);
  if (command == "id") return cli::RunIdCommand(args);
  if (command == "volume") return cli::RunVolumeCommand(args);
  if (command == "names") return cli::RunNamesCommand(args);
  if (command == "list") return cli::RunListCommand(args);
  if (command == "compare") return cli::RunCompareCommand(args);
  if (command == "verify") return cli::RunVerifyCommand(args);
  if (command == "volumes") return cli::RunVolumesCommand(args);
  if (command == "find") return cli::RunFindCommand(args);
  if (command == "copies") return cli::RunCopiesCommand(args);
  if (command == "repair") return cli::RunRepairCommand(args);
  if (command == "scrub") return cli::RunScrubCommand(args);
  cli::PrintMessage("unknown command '" + command + "'");
  std::cerr << kTryHelp;
  return 2;
}

}  // namespace

#ifdef _WIN32
// Windows hands the arguments over as UTF-16 here; the program inside works in UTF-8.
int wmain(int argc, wchar_t** argv) { return platform::RunWithUtf8Arguments(argc, argv, Run); }
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
