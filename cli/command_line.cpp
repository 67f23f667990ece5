#include "cli/command_line.h"

#include <limits>

#include "cli/usage.h"

namespace cli {

namespace {

using Given = GivenOption;
using Line = CommandLine;

constexpr char kReadPlaceholdersHelp[] =
    "read files whose data is not on this disk (cloud\n"
    "placeholders), which fetches it; without it each is an\n"
    "error: \"not on this disk: a placeholder\"";

constexpr OptionChoice kFormats[] = {
    {"text", "the lines above (the default)"},
    {"jsonl",
     "one JSON object per file instead: class, path, new_path\n"
     "(moved), old_ and new_ size, time and id (null where a list\n"
     "has none). A byte of a name that is not part of valid UTF-8\n"
     "is written as \\u00XX, the character of its value"},
};

// clang-format off
// The scan's options in the order its help lists them.
constexpr OptionSpec kScanOptions[] = {
    Text("--list", "FILE", "id list file name",
         [](Line* l, const Given& g) { l->scan.list_file = g.text; }),
    Text("--tree", "FILE", "tree list file name",
         [](Line* l, const Given& g) { l->scan.tree_file = g.text; }),
    Text("--name", "NAME", "base name of the lists instead of the volume's name",
         [](Line* l, const Given& g) { l->scan.name = g.text; }),
    Text("--dirs", "TEXT", "directory parameters",
         [](Line* l, const Given& g) { l->scan.run.dir_params = g.text; }),
    Text("--files", "TEXT", "file parameters",
         [](Line* l, const Given& g) { l->scan.run.file_params = g.text; }),
    Number("--min-blocks", "N", "minimum block count of name sections (4)", scan::kMinBlocksRange,
           [](Line* l, const Given& g) {
             l->scan.run.min_blocks = static_cast<uint16_t>(g.number);
           }),
    Flag("--hex-file", "the length and block count of name sections in hex",
         [](Line* l, const Given&) { l->scan.run.options |= scan::kOptHexFile; }),
    Flag("--hex-path", "the length of path sections in hex",
         [](Line* l, const Given&) { l->scan.run.options |= scan::kOptHexPath; }),
    Flag("--no-locks", "let others write the files while they are read",
         [](Line* l, const Given&) { l->scan.run.options |= scan::kOptNoLocks; }),
    Flag("--no-backup", "scan: do not copy the lists it replaces to the backup folder",
         [](Line* l, const Given&) { l->scan.run.options |= scan::kOptNoBackUp; }),
    Number("--expand", "BYTES", "growth step of the id list (100000)", scan::kExpandRange,
           [](Line* l, const Given& g) { l->scan.run.expand = static_cast<int32_t>(g.number); }),
    Number("--buffer-percent", "P", "read buffer, percent of available memory (30)",
           scan::kBufferPercentRange,
           [](Line* l, const Given& g) {
             l->scan.run.buffer_percent = static_cast<int32_t>(g.number);
           }),
    Number("--buffer-max", "BYTES", "read buffer maximum (512000), shared by all readers",
           scan::kBufferMaxRange,
           [](Line* l, const Given& g) {
             l->scan.run.buffer_max = static_cast<int32_t>(g.number);
           }),
    Number("--threads", "N",
           "threads that read files; 0 chooses: from the cores, at most 8,\n"
           "but 1 on a spinning disk, up or down to what reads fastest,\n"
           "1 to 16; the closing line names the count (0)",
           scan::kThreadsRange,
           [](Line* l, const Given& g) { l->scan.run.threads = static_cast<int32_t>(g.number); }),
    Flag("--cross-mounts",
         "enter directories of other mounted file systems (never\n"
         "proc, sysfs, devtmpfs and other kernel file systems)",
         [](Line* l, const Given&) { l->scan.run.cross_mounts = true; }),
    Flag("--read-placeholders", kReadPlaceholdersHelp,
         [](Line* l, const Given&) { l->scan.run.read_placeholders = true; }),
    Text("--label", "TEXT", "volume label for the header (the volume's own)",
         [](Line* l, const Given& g) { l->scan.label = g.text; }),
    Number("--serial", "N", "volume serial number for the header (the volume's own)",
           scan::kSerialRange,
           [](Line* l, const Given& g) { l->scan.serial = static_cast<uint32_t>(g.number); }),
    Number("--interval", "MS", "progress interval in milliseconds (1000)", scan::kIntervalRange,
           [](Line* l, const Given& g) { l->scan.run.interval = static_cast<int16_t>(g.number); }),
    Flag("--progress", "draw progress even when stderr is not a terminal",
         [](Line* l, const Given&) { l->scan.progress = true; }),
    Flag("--quiet", "print nothing but errors",
         [](Line* l, const Given&) { l->scan.quiet = true; }),
    Flag("--verbose", "name each folder the directory parameters leave out",
         [](Line* l, const Given&) { l->scan.verbose = true; }),
};
// clang-format on

// clang-format off
constexpr OptionSpec kReportOptions[] = {
    Flag("--all", "list unchanged files too",
         [](Line* l, const Given&) { l->report.all = true; }),
    Choice("--format", kFormats,
           [](Line* l, const Given& g) { l->report.jsonl = kFormats[g.number].word == "jsonl"; }),
    Text("--output", "FILE",
         "save the report in FILE instead of printing its lines: a\n"
         "header (what was compared, when, the counts of each\n"
         "class), then the lines; with jsonl the header is one object",
         [](Line* l, const Given& g) { l->output = g.text; }, true),
};

constexpr OptionSpec kCompareOptions[] = {
    Flag("--relative",
         "match paths below each list's search path (the same\n"
         "tree listed under two mount points) and show them under\n"
         "NEW's search path; a file outside its list's search\n"
         "path keeps its full path",
         [](Line* l, const Given&) { l->relative = true; }),
};

constexpr OptionSpec kVerifyOptions[] = {
    Text("--path", "PATH", "scan PATH instead of the search path of LIST",
         [](Line* l, const Given& g) { l->search_path = g.text; }, true),
    Text("--write", "NEW",
         "keep the new id list as NEW (a name that is free), its\n"
         "tree list beside it with the extension .t00, or --tree",
         [](Line* l, const Given& g) { l->write = g.text; }, true),
    Flag("--cached",
         "read through the page cache; without it each file's cached\n"
         "pages are dropped first, so the ids are those of the disk",
         [](Line* l, const Given&) { l->cached = true; }),
};

constexpr OptionSpec kListOptions[] = {
    Number("--options", "N",
           "the walk's option bits, added up (6): 1 no directories,\n"
           "2 no files, 4 into subdirectories, 8 directories without\n"
           "the trailing \"/\", 16 names relative to PATH, 32 bare names,\n"
           "64 total size of the files on stderr",
           {0, std::numeric_limits<uint32_t>::max()},
           [](Line* l, const Given& g) { l->walk_options = static_cast<uint32_t>(g.number); }),
    Text("--params", "TEXT", "parameter items, e.g. \"/EP temp|tmp /EF *.bak\"",
         [](Line* l, const Given& g) { l->params = g.text; }),
};

constexpr OptionSpec kNamesOptions[] = {
    Text("--separators", "TEXT",
         "up to three characters: the one before the serial number,\n"
         "the one before each directory, the one after the network\n"
         "host (~^%)",
         [](Line* l, const Given& g) { l->separators = g.text; }),
};
constexpr OptionSpec kCatalogueFolderOptions[] = {
    Text("--catalogue", "DIR",
         "a folder of id lists to search besides the list folder of\n"
         "the settings (repeatable)",
         [](Line* l, const Given& g) { l->catalogue.folders.push_back(g.text); }, true),
};

constexpr OptionChoice kCatalogueFormats[] = {
    {"text", "one line per entry (the default)"},
    {"jsonl", "one JSON object per entry instead"},
};

constexpr OptionSpec kCatalogueOptions[] = {
    Choice("--format", kCatalogueFormats,
           [](Line* l, const Given& g) {
             l->catalogue.jsonl = kCatalogueFormats[g.number].word == "jsonl";
           }),
    Flag("--progress", "say on stderr how the index of the lists is brought up to date",
         [](Line* l, const Given&) { l->catalogue.progress = true; }),
};

constexpr OptionSpec kFindOptions[] = {
    Number("--limit", "N", "show the first N files (1000), then how many more matched",
           {0, std::numeric_limits<int32_t>::max()},
           [](Line* l, const Given& g) { l->catalogue.limit = g.number; }),
    Size("--min-size", "SIZE", "only files of at least SIZE: bytes, or 390k, 1.5G (of 1024)",
         [](Line* l, const Given& g) { l->catalogue.min_size = g.number; }),
    Size("--max-size", "SIZE", "only files of at most SIZE",
         [](Line* l, const Given& g) { l->catalogue.max_size = g.number; }),
    Text("--from", "TIME", "only files last written at or after TIME\n(yyyy-mm-dd or \"yyyy-mm-dd hh:nn:ss\")",
         [](Line* l, const Given& g) { l->catalogue.from = g.text; }, true),
    Text("--to", "TIME", "only files last written at or before TIME",
         [](Line* l, const Given& g) { l->catalogue.to = g.text; }, true),
    Text("--id", "ID", "only files with this id (\"07012 18845\", as a list writes it)",
         [](Line* l, const Given& g) { l->catalogue.id = g.text; }, true),
    Text("--volume", "NAME", "only files of this volume: a list name, label or serial",
         [](Line* l, const Given& g) { l->catalogue.volume = g.text; }, true),
    Flag("--path", "match NAME against the whole path, so that folders are found too",
         [](Line* l, const Given&) { l->catalogue.whole_path = true; }),
};

constexpr OptionSpec kCopiesOptions[] = {
    Number("--under", "K",
           "only the files held by fewer than K volumes, LIST's own\n"
           "included (2: the files that exist nowhere else)",
           {1, std::numeric_limits<int32_t>::max()},
           [](Line* l, const Given& g) { l->catalogue.under = g.number; }),
    Flag("--confirm",
         "compare each probable copy byte for byte where both files\n"
         "are mounted, and call it a copy only then",
         [](Line* l, const Given&) { l->catalogue.confirm = true; }),
};

constexpr OptionSpec kRepairOptions[] = {
    Flag("--all", "every damaged file of LIST (or give PATHs)",
         [](Line* l, const Given&) { l->repair.all = true; }),
    Flag("--missing", "mend missing files too (they may have been deleted on purpose)",
         [](Line* l, const Given&) { l->repair.missing = true; }),
    Flag("--any-time", "a copy with another write time may serve",
         [](Line* l, const Given&) { l->repair.any_time = true; }),
    Flag("--dry-run", "say what would be done, and do nothing",
         [](Line* l, const Given&) { l->repair.dry_run = true; }),
    Text("--keep", "DIR",
         "keep each damaged file as a copy in DIR (a folder on another\n"
         "file system) instead of a hard link beside it",
         [](Line* l, const Given& g) { l->repair.keep = g.text; }, true),
    Flag("--read-placeholders", kReadPlaceholdersHelp,
         [](Line* l, const Given&) { l->repair.read_placeholders = true; }),
};
// clang-format on

constexpr std::string_view kCatalogueAbout =
    "The catalogue is every id list in the list folder of the settings and in each\n"
    "--catalogue DIR. An index of them in $XDG_CACHE_HOME/checker/ (~/.cache/checker/)\n"
    "is brought up to date first; it may be deleted at any time. A list that cannot\n"
    "be read is left out with a warning.\n";

constexpr std::string_view kCatalogueExit =
    "Exit status: 0 done, 1 nothing found, 2 usage error or the index cannot be\n"
    "written.\n";

constexpr std::string_view kScanExit =
    "Exit status: 0 done, 1 done with file errors, 2 usage error or lists not written,\n"
    "130 stopped.\n";

constexpr std::string_view kCompareAbout =
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
    "line. A corrupted, unreadable or missing file is followed by a line naming a\n"
    "probable copy from the catalogue, when there is one: a file of another list with\n"
    "its size and id, on another volume where there is one, and never the file itself\n"
    "as another list of its volume holds it (the same path below the volume's root).\n"
    "The id does not depend on the order of a file's 2-byte words: a file with its\n"
    "records or sectors reordered keeps its id; copies --confirm compares the bytes.\n"
    "\n"
    "stdout: one line per file that is not unchanged, sorted by path: the class,\n"
    "blanks to column 16, the path (moved: OLD -> NEW); verify: then \"note\", blanks to\n"
    "column 16, \"PATH: left out by the parameters (/EP temp)\" for each folder the\n"
    "directory parameters left out (JSON: note, path). stderr: the warnings and the\n"
    "files and bytes of every class.\n";

constexpr std::string_view kCompareExit =
    "Exit status: 0 no differences, 1 differences (not comparable ones included) but\n"
    "nothing corrupted or unreadable, 2 usage error or a list that cannot be read\n"
    "(with the number of the first line that is not one of an id list; a symbolic\n"
    "link; a list a running scan holds), 3 corrupted or unreadable files found.\n";

using Group = std::span<const OptionSpec>;

constexpr OperandSpec kPath{"PATH", 1, 1, false, ""};

// The runs that write lists: a scan afresh, and the finish of a stopped one.
std::span<const CommandSpec> RunCommands() {
  static const Group kScan[] = {ScanOptionTable()};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"scan", kScan, {}, kPath,
       "Usage: checker-cli scan [OPTIONS] PATH\n"
       "Create the tree list and the id list of PATH afresh: every directory under\n"
       "PATH, and a content id for every file. Without --list and --tree the lists\n"
       "are named after the volume and go to the list folder of the base settings.\n",
       "", kScanExit, ""},
      {"continue", kScan, {}, kPath,
       "Usage: checker-cli continue [OPTIONS] PATH\n"
       "Finish a stopped run of PATH: files the id list already holds are skipped and\n"
       "the new lines are appended. Give the options of the stopped run.\n", "", kScanExit, ""},
  };
  // clang-format on
  return kCommands;
}

// What one file, one volume or one walk shows, without a list.
std::span<const CommandSpec> LookCommands() {
  static const Group kNames[] = {kNamesOptions};
  static const Group kList[] = {kListOptions};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"id", {}, {}, {"FILE", 1, kAnyCount, true, ""},
       "Usage: checker-cli id FILE...\n"
       "Print each file's id field (the first 14 columns of its id-list line) and the\n"
       "name as given. \"--\" ends the options, for a FILE that begins with \"-\".\n", "",
       "Exit status: 0 every file has an id, 1 some file has none, 2 usage error.\n", ""},
      {"volume", {}, {}, kPath,
       "Usage: checker-cli volume PATH\n"
       "Print the volume record of the file system that holds PATH, one field a line.\n", "",
       "Exit status: 0 done, 2 usage error or no such PATH.\n", ""},
      {"names", kNames, {}, kPath,
       "Usage: checker-cli names [--separators TEXT] PATH\n"
       "Print the list name parts of PATH (network host, volume label, directories below\n"
       "the volume's root, serial number) as the desktop program's name fields show them,\n"
       "and the name they make joined by separators, as its \"Get\" button composes it.\n", "",
       "Exit status: 0 done, 2 usage error or no such PATH.\n", ""},
      {"list", kList, {}, {"PATH", 1, 1, true, ""},
       "Usage: checker-cli list [--options N] [--params TEXT] PATH\n"
       "Print what a directory walk from PATH finds, one entry a line, and the total on\n"
       "stderr. PATH may carry masks and parameter items: \"/data/*.jpg /S /EF *.bak\".\n", "",
       "Exit status: 0 done, 1 PATH cannot be read, 2 usage error.\n", ""},
  };
  // clang-format on
  return kCommands;
}

// Two lists compared, or a list with a new scan of its tree.
std::span<const CommandSpec> CompareCommands() {
  static const Group kVerify[] = {kReportOptions, kVerifyOptions, kCatalogueFolderOptions,
                                  ScanOptionTable()};
  static const Group kCompareWithCatalogue[] = {kReportOptions, kCompareOptions,
                                                kCatalogueFolderOptions};
  // Verify refuses --list and --name (--write names its lists), replaces no lists
  // that --no-backup could spare, and reports the folders --verbose would name.
  static constexpr std::string_view kVerifyRefuses[] = {"--list", "--name", "--no-backup",
                                                        "--verbose"};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"compare", kCompareWithCatalogue, {}, {"OLD NEW", 2, 2, true, "give two lists, OLD and NEW"},
       "Usage: checker-cli compare [--all] [--format text|jsonl] [--output FILE] [--relative]\n"
       "                           OLD NEW\n"
       "Compare two id lists of the same tree: what changed since OLD was written.\n"
       "Paths are matched whole, also when the lists name different search paths;\n"
       "--relative matches them below each list's search path instead.\n",
       kCompareAbout, kCompareExit, ""},
      {"verify", kVerify, kVerifyRefuses, {"LIST", 1, 1, false, ""},
       "Usage: checker-cli verify [OPTIONS] LIST\n"
       "Scan again what LIST catalogued (the search path of its header, or --path) and\n"
       "compare LIST with the new lines, as compare --relative does: paths are matched\n"
       "below LIST's search path and the path scanned, and shown under the path\n"
       "scanned, so a copy of the tree elsewhere verifies as the same tree. LIST is not\n"
       "changed, and no scan may rewrite it while verify runs. The new lists go to a\n"
       "temporary folder that is removed afterwards (a later verify removes one left\n"
       "by a verify that was killed), or with --write to NEW and its tree list. Ctrl-C\n"
       "stops the scan: what it covered is compared, and the files it did not reach\n"
       "are \"not listed\". A search path with CR or LF in it is refused. When the\n"
       "search path is gone or holds another volume (another serial number), the\n"
       "list's volume is verified where it is mounted now, or, not mounted, named\n"
       "(exit status 2); among volumes with its serial (a disk and its clones) the one\n"
       "with its label, or, when that does not decide, every one is named (exit status\n"
       "2); --path decides instead. Files are read from the disk, past pages another\n"
       "process keeps in memory; where the file system does not allow that, a file is\n"
       "read from memory, named so, and the exit status is at least 1.\n",
       kCompareAbout, kCompareExit,
       "130 stopped (after the partial report).\n"},
  };
  // clang-format on
  return kCommands;
}

// The questions put to the catalogue of every list.
std::span<const CommandSpec> CatalogueCommands() {
  static const Group kVolumes[] = {kCatalogueFolderOptions, kCatalogueOptions};
  static const Group kFind[] = {kFindOptions, kCatalogueFolderOptions, kCatalogueOptions};
  static const Group kCopies[] = {kCopiesOptions, kCatalogueFolderOptions, kCatalogueOptions};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"volumes", kVolumes, {}, {"", 0, 0, false, "takes no operands"},
       "Usage: checker-cli volumes [OPTIONS]\n"
       "One line per id list of the catalogue: the list's name, the volume's label and\n"
       "serial number, the search path, files, bytes, the last run's start and state,\n"
       "and where that volume is mounted now (found by its serial number, whatever its\n"
       "path, and among its clones by its label): \"mounted at PATH\", \"its FOLDER at\n"
       "PATH\" when a folder of it that holds the search path is mounted alone, or \"not\n"
       "mounted\". The lists of one volume follow each other: the same serial number\n"
       "and label (without a serial number, also the same search path). Volumes of\n"
       "other labels that share a serial number (a clone or a relabelled disk) are named\n"
       "once on stderr.\n",
       kCatalogueAbout, "Exit status: 0 done, 2 usage error or the index cannot be written.\n",
       ""},
      {"find", kFind, {}, {"NAME", 0, 1, true, "give at most one NAME"},
       "Usage: checker-cli find [OPTIONS] [NAME]\n"
       "Find files in every id list of the catalogue. NAME is a mask in the walk's\n"
       "syntax when it holds \"*\" or \"?\" (\"*.jpg\", \"IMG_????.*\"), else a text\n"
       "found anywhere in the name; both without regard to case. With --path, NAME is\n"
       "matched against the whole path instead. One line per file: the volume (its\n"
       "list's name), size, write time and full path. The first N are shown as soon as\n"
       "they are found; how many more matched follows on stderr.\n",
       kCatalogueAbout, kCatalogueExit, ""},
      {"copies", kCopies, {}, {"LIST", 1, 1, false, ""},
       "Usage: checker-cli copies [OPTIONS] LIST\n"
       "For each file of LIST (a list of the catalogue, by its path or name), the files\n"
       "of other lists with the same size and id: a probable copy. Two unrelated files\n"
       "share a 32-bit id by chance about once in four billion pairs, but the id does\n"
       "not depend on the order of a file's 2-byte words: a file with its records or\n"
       "sectors reordered keeps its id. --confirm tells them apart. Another list of\n"
       "LIST's volume (the same serial number and label) that holds the file at the\n"
       "same path below the volume's root holds the file itself, never a copy. Empty\n"
       "files and files without an id are never counted as copies. One line per file:\n"
       "the number of volumes (not lists) that hold it, its own included, and its path;\n"
       "below it one line per copy: \"probable copy\" (with --confirm \"copy\" or \"not a\n"
       "copy\" where both are mounted), the list and the path.\n",
       kCatalogueAbout, "Exit status: 0 done, 2 usage error or the index cannot be written.\n",
       ""},
  };
  // clang-format on
  return kCommands;
}

// Damaged files mended from copies the catalogue knows of.
std::span<const CommandSpec> RepairCommands() {
  static const Group kRepair[] = {kRepairOptions, kCatalogueFolderOptions, kCatalogueOptions};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"repair", kRepair, {}, {"LIST", 1, kAnyCount, false, ""},
       "Usage: checker-cli repair [OPTIONS] LIST [PATH...]\n"
       "Mend the damaged files of LIST (all of them with --all, else those at or below\n"
       "each PATH) from copies on other volumes. Each file is read from its disk, past\n"
       "the page cache: corrupted (the listed size and write time, another id) and\n"
       "unreadable (read errors) files are mended; missing ones only with --missing; a\n"
       "file with another size or write time is the user's edit and never touched.\n"
       "A copy is a file of another list of the catalogue with the listed size and id,\n"
       "on another volume (another serial number and label, or another device) that is\n"
       "mounted now. It is proven when the id read from its disk, its size and its\n"
       "write time (any with --any-time) are the listed ones. Two proven copies must be\n"
       "byte for byte the same, or the file is left as it is. The copy is written beside\n"
       "the file under a temporary name and flushed, the damaged file is kept under the\n"
       "name NAME.damaged-yyyymmdd-hhmmss (a hard link; with --keep a copy in DIR), then\n"
       "the copy takes the name and the folder is flushed: a kill at any moment leaves\n"
       "the damaged or the mended file under the name. Mode, owner and extended\n"
       "attributes are the damaged file's, the write time the listed one. A file on a\n"
       "volume mounted read only is left as it is. A file whose data is not on this\n"
       "disk (a cloud placeholder) is read neither to check it nor as a copy unless\n"
       "--read-placeholders, as reading it fetches it: it is left as it is, \"not on\n"
       "this disk: a placeholder\", and a copy that is one is passed over.\n",
       "stdout: one line per file mended or left damaged: \"mended\", \"would mend\"\n"
       "(--dry-run) or \"not mended\", blanks to column 16, the path, then the copy or\n"
       "why not. With --format jsonl one JSON object per file: \"class\" (what is\n"
       "wrong with it), \"volume\", \"path\", \"action\" (mended, would mend, refused,\n"
       "skipped or failed), \"copy\", \"other_copy\" and \"kept\" where known, \"note\"\n"
       "(why not).\n",
       "Exit status: 0 no damaged file left (every one mended, or none found), 2 usage\n"
       "error, a list that cannot be read or its volume not found, a PATH that holds no\n"
       "file of LIST, 3 damaged files left as they were (no proven copy, copies that\n"
       "differ, a read-only volume, a mend that failed, a placeholder left unread;\n"
       "--dry-run: damaged files found), 130 stopped (Ctrl-C or SIGTERM: the file\n"
       "being mended is left as it was; every mend done is kept).\n",
       ""},
  };
  // clang-format on
  return kCommands;
}

// clang-format off
constexpr OptionSpec kScrubOptions[] = {
    Text("--budget", "N%", "read N % of each volume's listed bytes a run (5%)",
         [](Line* l, const Given& g) { l->scrub.budget = g.text; }, true),
    Text("--time", "TIME", "start no file once TIME has passed (90s, 30m, 2h)",
         [](Line* l, const Given& g) { l->scrub.time = g.text; }, true),
    Size("--bytes", "SIZE", "read at most SIZE a volume (200G: powers of 1024)",
         [](Line* l, const Given& g) { l->scrub.bytes = g.number; }),
    Text("--cycle", "TIME", "read every file at least once in TIME of the volume\n"
         "being mounted at runs (30d)",
         [](Line* l, const Given& g) { l->scrub.cycle = g.text; }, true),
    Size("--rate", "SIZE", "read at most SIZE a second (50M)",
         [](Line* l, const Given& g) { l->scrub.rate = static_cast<uint64_t>(g.number); }),
    Flag("--idle", "read in the idle I/O class at the lowest CPU priority",
         [](Line* l, const Given&) { l->scrub.idle = true; }),
    Flag("--wait", "wait for another scrub or a scan that holds a volume",
         [](Line* l, const Given&) { l->scrub.wait = true; }),
    Flag("--read-placeholders", kReadPlaceholdersHelp,
         [](Line* l, const Given&) { l->scrub.read_placeholders = true; }),
    Flag("--status", "show where each volume stands instead of reading",
         [](Line* l, const Given&) { l->scrub.status = true; }),
};
// clang-format on

// Files read a little each run, the stalest first, with a history that lasts.
std::span<const CommandSpec> ScrubCommands() {
  static const Group kScrub[] = {kScrubOptions, kCatalogueFolderOptions, kCatalogueOptions};
  // clang-format off
  static const CommandSpec kCommands[] = {
      {"scrub", kScrub, {}, {"LIST", 0, kAnyCount, false, ""},
       "Usage: checker-cli scrub [OPTIONS] [LIST...]\n"
       "Read a share of each volume's files from the disk and judge them as verify\n"
       "does, the files never checked first, then those checked longest ago. With no\n"
       "LIST, every catalogued volume that is mounted now; a volume's newest list is\n"
       "its picture. A run reads the stalest file, then files up to the budget, and\n"
       "more where a file would otherwise pass its cycle. Nothing is printed when all\n"
       "is well; one line per problem: the class, blanks to column 16, the path and,\n"
       "for a file changed since its list was written, that it is to be scanned again.\n"
       "Each check is kept in $XDG_DATA_HOME/checker/history.db\n"
       "(~/.local/share/checker/). A volume another scrub reads, or whose list a scan\n"
       "writes, is skipped with one line.\n",
       "",
       "Exit status: 0 all is well, 1 differences (files edited, touched or missing) but\n"
       "nothing corrupted or unreadable, 2 usage error, a list or the history that cannot\n"
       "be read, or a LIST whose volume is not mounted, 3 corrupted or unreadable files\n"
       "found, 130 stopped (what was checked is kept).\n",
       ""},
  };
  // clang-format on
  return kCommands;
}

}  // namespace

std::span<const CommandSpec> Commands() {
  static const std::vector<CommandSpec> kCommands = [] {
    std::vector<CommandSpec> all;
    for (std::span<const CommandSpec> group :
         {RunCommands(), LookCommands(), CompareCommands(), CatalogueCommands(),
          RepairCommands(),
          ScrubCommands()}) {
      all.insert(all.end(), group.begin(), group.end());
    }
    return all;
  }();
  return kCommands;
}

const CommandSpec* FindCommand(std::string_view name) {
  for (const CommandSpec& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

bool ParseCommandLine(const CommandSpec& command, const Args& args, CommandLine* line,
                      std::string* error, ParsedArgs* parsed) {
  ParsedArgs own;
  if (parsed == nullptr) parsed = &own;
  if (!ParseArgs(command, args, parsed, error)) return false;
  for (const GivenOption& given : parsed->options) given.spec->store(line, given);
  line->operands = parsed->operands;
  if (!line->operands.empty()) line->scan.path = line->operands.front();
  line->help = parsed->help;
  return true;
}

std::optional<int> TakeCommandLine(std::string_view command, const Args& args, CommandLine* line) {
  std::string error;
  if (!ParseCommandLine(*FindCommand(command), args, line, &error)) {
    return UsageError(std::string(command) + ": " + error);
  }
  if (line->help) return PrintCommandUsage(command);
  return std::nullopt;
}

std::span<const OptionSpec> ScanOptionTable() { return kScanOptions; }

bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error) {
  CommandLine line;
  if (!ParseCommandLine(*FindCommand("scan"), args, &line, error)) return false;
  *options = std::move(line.scan);
  options->help = line.help;
  return true;
}

}  // namespace cli
