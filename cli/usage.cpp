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
    "  --cross-mounts        enter directories of other mounted file systems (never\n"
    "                        proc, sysfs, devtmpfs and other kernel file systems)\n"
    "  --label TEXT          volume label for the header (the volume's own)\n"
    "  --serial N            volume serial number for the header (the volume's own)\n"
    "  --interval MS         progress interval in milliseconds (1000)\n"
    "  --progress            draw progress even when stderr is not a terminal\n"
    "  --quiet               print nothing but errors\n";

constexpr std::string_view kScanExit =
    "Exit status: 0 done, 1 done with file errors, 2 usage error or lists not written,\n"
    "130 stopped.\n";

constexpr std::string_view kCompareHead =
    "Every file of the two id lists is put in one class by its path:\n"
    "  unchanged       same size, write time and id\n"
    "  touched         same size and id, another write time\n"
    "  changed         another write time, and another size or id (verify: also a\n"
    "                  file that changed while it was read)\n"
    "  corrupted       same size and write time, another id: the content changed\n"
    "                  behind the file system's back\n"
    "  unreadable      a read error in the new list (verify: also the files below a\n"
    "                  directory it could not read)\n"
    "  moved           gone from its old path and found under another with the same\n"
    "                  size and id, when no other missing or new file has that size\n"
    "                  and id (empty files are never paired)\n"
    "  missing         in the old list only\n"
    "  new             in the new list only\n"
    "  not listed      in one list only while the other is incomplete (stopped, or\n"
    "                  ended abnormally); such files are not paired as moved\n"
    "  not comparable  a path a list cannot tell from another, never unchanged:\n"
    "                  lists write CR and LF of names as \"?\"; a path listed twice\n"
    "                  within one run of a list (verify: also a name with CR or LF)\n"
    "A file without an id in the old list is compared by size and write time only. A\n"
    "path listed again by a later run of a list (continue) counts once, with its last\n"
    "line.\n"
    "\n"
    "stdout: one line per file that is not unchanged, sorted by path: the class,\n"
    "blanks to column 16, the path (moved: OLD -> NEW). stderr: the warnings and the\n"
    "files and bytes of every class.\n";

constexpr std::string_view kCompareOptions =
    "  --all                 list unchanged files too\n"
    "  --format jsonl        one JSON object per file instead: class, path, new_path\n"
    "                        (moved), old_ and new_ size, time and id (null where a list\n"
    "                        has none). A byte of a name that is not part of valid UTF-8\n"
    "                        is written as \\u00XX, the character of its value\n"
    "  --format text         the lines above (the default)\n";

constexpr std::string_view kCompareExit =
    "Exit status: 0 no differences, 1 differences (not comparable ones included) but\n"
    "nothing corrupted or unreadable, 2 usage error or a list that cannot be read\n"
    "(with the number of the first line that is not one of an id list; a symbolic\n"
    "link; a list a running scan holds), 3 corrupted or unreadable files found.\n";

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
      "  compare [--all] [--format jsonl] [--relative] OLD NEW\n"
      "                            what changed between two id lists\n"
      "  verify [OPTIONS] LIST     scan again what LIST catalogued and compare\n"
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
  if (command == "compare" || command == "verify") {
    std::string text;
    if (command == "compare") {
      text =
          "Usage: checker-cli compare [--all] [--format text|jsonl] [--relative] OLD NEW\n"
          "Compare two id lists of the same tree: what changed since OLD was written.\n"
          "Paths are matched whole, also when the lists name different search paths;\n"
          "--relative matches them below each list's search path instead.\n";
    } else {
      text =
          "Usage: checker-cli verify [OPTIONS] LIST\n"
          "Scan again what LIST catalogued (the search path of its header, or --path) and\n"
          "compare LIST with the new lines, as compare --relative does: paths are matched\n"
          "below LIST's search path and the path scanned, and shown under the path\n"
          "scanned, so a copy of the tree elsewhere verifies as the same tree. LIST is not\n"
          "changed, and no scan may rewrite it while verify runs. The new lists go to a\n"
          "temporary folder that is removed afterwards (a later verify removes one left\n"
          "by a verify that was killed), or with --write to NEW and its tree list. Ctrl-C\n"
          "stops the scan: what it covered is compared, and the files it did not reach\n"
          "are \"not listed\". A search path with CR or LF in it is refused.\n";
    }
    text += "\n";
    text += kCompareHead;
    text += "\nOptions:\n";
    text += kCompareOptions;
    if (command == "compare") {
      text +=
          "  --relative            match paths below each list's search path (the same\n"
          "                        tree listed under two mount points) and show them under\n"
          "                        NEW's search path; a file outside its list's search\n"
          "                        path keeps its full path\n";
    }
    if (command == "verify") {
      text +=
          "  --path PATH           scan PATH instead of the search path of LIST\n"
          "  --write NEW           keep the new id list as NEW (a name that is free), its\n"
          "                        tree list beside it with the extension .t00, or --tree\n";
      // The scan's options, without those that name the lists.
      for (size_t pos = 0; pos < kScanOptions.size();) {
        const size_t end = kScanOptions.find('\n', pos) + 1;
        const std::string_view option = kScanOptions.substr(pos, end - pos);
        if (option.find("--list") == std::string_view::npos &&
            option.find("--name") == std::string_view::npos &&
            option.find("--no-backup") == std::string_view::npos) {
          text += option;
        }
        pos = end;
      }
    }
    text += kHelpLine;
    text += "\n";
    text += kCompareExit;
    if (command == "verify") text += "130 stopped (after the partial report).\n";
    return text;
  }
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
