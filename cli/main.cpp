// checker-cli: the scan engine without a window.

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/commands.h"

#ifndef CHECKER_VERSION
#define CHECKER_VERSION "0.0.0"
#endif

namespace {

constexpr const char kUsage[] =
    "Usage: checker-cli COMMAND [OPTIONS] [ARGS]\n"
    "Catalogue a disk or a directory tree: a content id for every file, written to a\n"
    "tree list and an id list named after the volume.\n"
    "\n"
    "Commands:\n"
    "  scan [OPTIONS] PATH       create the lists for PATH afresh\n"
    "  continue [OPTIONS] PATH   finish a stopped run, skipping files already listed\n"
    "  id FILE...                print each file's id field as the id list writes it\n"
    "  volume PATH               print the volume record of PATH\n"
    "  names PATH [--separators ~^%]\n"
    "                            print the list name parts of PATH and the joined name\n"
    "  list PATH [--options N] [--params TEXT]\n"
    "                            print what a directory walk finds (total on stderr)\n"
    "\n"
    "Scan options:\n"
    "  --list FILE           id list file name\n"
    "  --tree FILE           tree list file name\n"
    "  --name NAME           base name of the lists instead of the volume's name\n"
    "  --dirs TEXT           directory parameters\n"
    "  --files TEXT          file parameters\n"
    "  --min-blocks N        minimum block count of name sections (4)\n"
    "  --hex-file            write file names in hex\n"
    "  --hex-path            write paths in hex\n"
    "  --no-locks            let others write the files while they are read\n"
    "  --expand BYTES        growth step of the id list (100000)\n"
    "  --buffer-percent P    read buffer, percent of available memory (30)\n"
    "  --buffer-max BYTES    read buffer maximum (512000), shared by all readers\n"
    "  --threads N           threads that read files; 0 chooses: the cores, at most 8,\n"
    "                        but 1 on a spinning disk (0)\n"
    "  --label TEXT          volume label for the header (the volume's own)\n"
    "  --serial N            volume serial number for the header (the volume's own)\n"
    "  --interval MS         progress interval in milliseconds (1000)\n"
    "  --progress            draw progress even when stderr is not a terminal\n"
    "  --quiet               print nothing but errors\n"
    "\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 done with file errors (or a file without an id),\n"
    "2 usage error or lists not written, 130 stopped.\n";

}  // namespace

namespace cli {

int UsageError(const std::string& message) {
  std::cerr << "checker-cli: " << message << "\n";
  return 2;
}

}  // namespace cli

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "checker-cli: missing command\nTry 'checker-cli --help' for more information.\n";
    return 2;
  }
  const std::string command = argv[1];
  cli::Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
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
  std::cerr << "checker-cli: unknown command '" << command
            << "'\nTry 'checker-cli --help' for more information.\n";
  return 2;
}
