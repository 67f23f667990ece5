#pragma once
// The options of "scan" and "continue": what the desktop program's settings page holds,
// given on the command line. Both "--opt VALUE" and "--opt=VALUE" are accepted.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/commands.h"

namespace cli {

constexpr char kDefaultDirParams[] =
    "/EP recycler|recycled|temp|tmp|system volume information|#recycled";
constexpr char kDefaultFileParams[] = "/EF thumbs.db|desktop.ini|*.tmp";

struct ScanOptions {
  std::string path;       // as given; made absolute by the command
  std::string list_file;  // empty: derived from the volume
  std::string tree_file;
  std::string name;  // base name of both lists instead of the volume's name
  std::string dir_params = kDefaultDirParams;
  std::string file_params = kDefaultFileParams;
  uint16_t min_blocks = 4;
  bool hex_file = false;
  bool hex_path = false;
  bool no_locks = false;
  bool no_backup = false;  // scan: do not copy lists it replaces into the backup folder
  int32_t expand = 100000;
  int32_t buffer_percent = 30;
  int32_t buffer_max = 512000;
  std::optional<std::string> label;  // unset: the volume's own
  std::optional<uint32_t> serial;
  int16_t interval = 1000;
  int32_t threads = 0;  // 0: the job chooses
  bool cross_mounts = false;  // enter directories of other file systems
  bool progress = false;
  bool quiet = false;
  bool help = false;  // "--help" or "-h": print the usage and do nothing else
};

// Fills `options` from the arguments after the command word. False with a one-line
// `error` for an unknown option, a missing or non-numeric value, a number out of range,
// no PATH or more than one. A help option ends the parse with `help` set (no PATH needed).
bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error);

}  // namespace cli
