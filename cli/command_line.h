#pragma once
// The commands of checker-cli as the option parser knows them: every command's table of
// options and operands, its help, and the values a command line sets.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/compare_report.h"
#include "cli/options.h"
#include "cli/scan_options.h"
#include "cli/scrub_options.h"
#include "fs/dir_iter.h"
#include "lists/list_names.h"

namespace cli {

// The walk's options of "list" without --options: directories only, into subdirectories.
inline constexpr uint32_t kDefaultListOptions = fs::walk_option::NoFiles | fs::walk_option::Recurse;

// The options of volumes, find and copies, and --catalogue of verify and compare.
struct CatalogueOptions {
  std::vector<std::string> folders;  // --catalogue DIR, as given, in order
  bool jsonl = false;
  bool progress = false;
  int64_t limit = 1000;
  std::optional<uint64_t> min_size, max_size;
  std::string from, to;  // write times as given
  std::string id;
  std::string volume;
  int64_t under = 0;  // 0: every file
  bool confirm = false;
  bool whole_path = false;  // find --path
};

// The options of repair.
struct RepairLine {
  bool all = false;
  bool missing = false;
  bool any_time = false;
  bool dry_run = false;
  bool read_placeholders = false;
  std::string keep;
};

// What a command line sets. Each command's table fills its own part; the rest keeps its
// default.
struct CommandLine {
  ScanOptions scan;         // scan, continue, verify; scan.path is the first operand
  ReportOptions report;     // compare, verify
  bool relative = false;    // compare --relative
  std::string output;       // compare, verify --output
  std::string search_path;  // verify --path
  std::string write;        // verify --write
  bool cached = false;      // verify --cached
  uint32_t walk_options = kDefaultListOptions;        // list --options
  std::string params;                                 // list --params
  std::string separators = lists::kDefaultSeparators;  // names --separators
  CatalogueOptions catalogue;                         // volumes, find, copies
  RepairLine repair;                                  // repair
  ScrubOptions scrub;                                 // scrub
  Args operands;
  bool help = false;
};

// Every command, in the order the program's help names them.
std::span<const CommandSpec> Commands();

// The command of that name, or null.
const CommandSpec* FindCommand(std::string_view name);

// Parses `args` by the table of `command` (one of Commands()) into `line`; `parsed`, when
// given, receives the options as given. False with a one-line `error` as ParseArgs
// words it.
bool ParseCommandLine(const CommandSpec& command, const Args& args, CommandLine* line,
                      std::string* error, ParsedArgs* parsed = nullptr);

// What every command does first: parses its arguments, and on a usage error prints
// "checker-cli: COMMAND: ERROR" and gives the status 2, on a help request prints the
// command's help and gives 0. Nothing when the command goes on.
std::optional<int> TakeCommandLine(std::string_view command, const Args& args, CommandLine* line);

// The scan's options in the order its help lists them, each number with the engine's
// range for its run setting. Shared by scan, continue and verify.
std::span<const OptionSpec> ScanOptionTable();

// Fills `options` from the arguments after "scan": the scan command's table. False with
// a one-line `error` for an unknown option, a missing or non-numeric value, a number out
// of range, no PATH or more than one. A help option ends the parse with `help` set (no
// PATH needed).
bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error);

}  // namespace cli
