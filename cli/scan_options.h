#pragma once
// The values of the options of "scan" and "continue": what the desktop program's settings
// page holds, given on the command line. The table that fills them is the scan's in
// cli/command_line.h, beside every other command's.

#include <cstdint>
#include <optional>
#include <string>

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
  bool no_backup() const { return (run.options & scan::kOptNoBackUp) != 0; }
  bool progress = false;
  bool quiet = false;
  bool verbose = false;  // name each folder the parameters leave out
  bool help = false;  // "--help" or "-h": print the usage and do nothing else
};

}  // namespace cli
