#include "cli/usage.h"

#include <iostream>

#include "cli/commands.h"
#include "cli/terminal_text.h"

namespace cli {

namespace {

constexpr std::string_view kScanOptions =
    "  --list FILE           id list file name\n"
    "  --tree FILE           tree list file name\n"
    "  --name NAME           base name of the lists instead of the volume's name\n"
    "  --dirs TEXT           directory parameters\n"
    "  --files TEXT          file parameters\n"
    "  --min-blocks N        minimum block count of name sections (4)\n"
    "  --hex-file            the length and block count of name sections in hex\n"
    "  --hex-path            the length of path sections in hex\n"
    "  --no-locks            let others write the files while they are read\n"
    "  --no-backup           scan: do not copy the lists it replaces to the backup folder\n"
    "  --expand BYTES        growth step of the id list (100000)\n"
    "  --buffer-percent P    read buffer, percent of available memory (30)\n"
    "  --buffer-max BYTES    read buffer maximum (512000), shared by all readers\n"
    "  --threads N           threads that read files; 0 chooses: the cores, at most 8,\n"
    "                        but 1 on a spinning disk (0)\n"
    "  --label TEXT          volume label for the header (the volume's own)\n"
    "  --serial N            volume serial number for the header (the volume's own)\n"
    "  --interval MS         progress interval in milliseconds (1000)\n"
    "  --progress            draw progress even when stderr is not a terminal\n"
    "  --quiet               print nothing but errors\n";

constexpr std::string_view kScanExit =
    "Exit status: 0 done, 1 done with file errors, 2 usage error or lists not written,\n"
    "130 stopped.\n";

constexpr std::string_view kHelpLine = "  --help                show this help and exit\n";

constexpr std::string_view kSeparatorsOption =
    "  --separators TEXT     up to three characters: the one before the serial number,\n"
    "                        the one before each directory, the one after the network\n"
    "                        host (~^%)\n";

constexpr std::string_view kListOptions =
    "  --options N           the walk's option bits, added up (6): 1 no directories,\n"
    "                        2 no files, 4 into subdirectories, 8 directories without\n"
    "                        the trailing \"/\", 16 names relative to PATH, 32 bare names,\n"
    "                        64 total size of the files on stderr\n"
    "  --params TEXT         parameter items, e.g. \"/EP temp|tmp /EF *.bak\"\n";

}  // namespace

std::string ProgramUsage() {
  std::string text =
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
      "Scan options:\n";
  text += kScanOptions;
  text +=
      "\n"
      "  --help                show this help and exit (COMMAND --help: that command's)\n"
      "  --version             show the version and exit\n"
      "\n"
      "Exit status: 0 done, 1 done with file errors (or a file without an id),\n"
      "2 usage error or lists not written, 130 stopped.\n";
  return text;
}

std::string CommandUsage(std::string_view command) {
  struct Help {
    std::string_view command;
    std::string_view head;  // synopsis and what the command does
    std::string_view options;
    std::string_view exit;
  };
  static constexpr Help kHelps[] = {
      {"scan",
       "Usage: checker-cli scan [OPTIONS] PATH\n"
       "Create the tree list and the id list of PATH afresh: every directory under\n"
       "PATH, and a content id for every file. Without --list and --tree the lists\n"
       "are named after the volume and go to the list folder of the base settings.\n",
       kScanOptions, kScanExit},
      {"continue",
       "Usage: checker-cli continue [OPTIONS] PATH\n"
       "Finish a stopped run of PATH: files the id list already holds are skipped and\n"
       "the new lines are appended. Give the options of the stopped run.\n",
       kScanOptions, kScanExit},
      {"id",
       "Usage: checker-cli id FILE...\n"
       "Print each file's id field (the first 14 columns of its id-list line) and the\n"
       "name as given. \"--\" ends the options, for a FILE that begins with \"-\".\n",
       "", "Exit status: 0 every file has an id, 1 some file has none, 2 usage error.\n"},
      {"volume",
       "Usage: checker-cli volume PATH\n"
       "Print the volume record of the file system that holds PATH, one field a line.\n",
       "", "Exit status: 0 done, 2 usage error or no such PATH.\n"},
      {"names",
       "Usage: checker-cli names [--separators TEXT] PATH\n"
       "Print the list name parts of PATH (network host, volume label, directories below\n"
       "the volume's root, serial number) as the desktop program's name fields show them,\n"
       "and the name they make joined by separators, as its \"Get\" button composes it.\n",
       kSeparatorsOption, "Exit status: 0 done, 2 usage error or no such PATH.\n"},
      {"list",
       "Usage: checker-cli list [--options N] [--params TEXT] PATH\n"
       "Print what a directory walk from PATH finds, one entry a line, and the total on\n"
       "stderr. PATH may carry masks and parameter items: \"/data/*.jpg /S /EF *.bak\".\n",
       kListOptions, "Exit status: 0 done, 1 PATH cannot be read, 2 usage error.\n"},
  };
  for (const Help& help : kHelps) {
    if (help.command != command) continue;
    std::string text(help.head);
    text += "\nOptions:\n";
    text += help.options;
    text += kHelpLine;
    text += "\n";
    text += help.exit;
    return text;
  }
  return {};
}

int UsageError(const std::string& message) {
  PrintMessage(message);
  return 2;
}

bool IsHelpOption(std::string_view arg) { return arg == "--help" || arg == "-h"; }

int PrintCommandUsage(std::string_view command) {
  std::cout << CommandUsage(command);
  std::cout.flush();
  return 0;
}

}  // namespace cli
