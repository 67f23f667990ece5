#pragma once
// The options of "scan" and "continue": what the desktop program's settings page holds,
// given on the command line. Both "--opt VALUE" and "--opt=VALUE" are accepted.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "scan/run_settings.h"

namespace cli {

struct ScanOptions {
  std::string path;       // as given; made absolute by the command
  std::string list_file;  // empty: derived from the volume
  std::string tree_file;
  std::string name;  // base name of both lists instead of the volume's name
  // Every setting the job takes; the lists, search path and volume fields are filled by
  // the command.
  scan::RunSettings run;
  std::optional<std::string> label;  // unset: the volume's own
  std::optional<uint32_t> serial;
  bool no_backup() const { return (run.options & kOptNoBackUp) != 0; }
  bool progress = false;
  bool quiet = false;
  bool verbose = false;  // name each folder the parameters leave out
  bool help = false;  // "--help" or "-h": print the usage and do nothing else
};

// The scan's options in the order its help lists them, each number with the engine's
// range for its run setting. Shared by scan, continue and verify.
std::span<const OptionSpec> ScanOptionTable();

// Fills `options` from the arguments after "scan": the scan command's table. False with
// a one-line `error` for an unknown option, a missing or non-numeric value, a number out
// of range, no PATH or more than one. A help option ends the parse with `help` set (no
// PATH needed).
bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error);

}  // namespace cli
