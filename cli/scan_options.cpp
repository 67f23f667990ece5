#include "cli/scan_options.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "cli/usage.h"
#include "scan/scan_job.h"

namespace cli {

namespace {

// A whole decimal number within [low, high]; no blanks, no trailing characters.
bool ParseNumber(std::string_view text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, *value);
  return result.ec == std::errc() && result.ptr == end && *value >= low && *value <= high;
}

enum class Kind { kFlag, kText, kNumber };

struct OptionSpec {
  std::string_view name;
  Kind kind;
  scan::SettingRange range{0, 0};
  // Stores the value: the text, or the number within range.
  void (*apply)(ScanOptions* options, const std::string& text, int64_t number);
};

// Every option with its range, which is the engine's own for a run setting.
const OptionSpec kOptions[] = {
    {"--list", Kind::kText, {}, [](ScanOptions* o, const std::string& t, int64_t) { o->list_file = t; }},
    {"--tree", Kind::kText, {}, [](ScanOptions* o, const std::string& t, int64_t) { o->tree_file = t; }},
    {"--name", Kind::kText, {}, [](ScanOptions* o, const std::string& t, int64_t) { o->name = t; }},
    {"--dirs", Kind::kText, {},
     [](ScanOptions* o, const std::string& t, int64_t) { o->run.dir_params = t; }},
    {"--files", Kind::kText, {},
     [](ScanOptions* o, const std::string& t, int64_t) { o->run.file_params = t; }},
    {"--min-blocks", Kind::kNumber, scan::kMinBlocksRange,
     [](ScanOptions* o, const std::string&, int64_t n) {
       o->run.min_blocks = static_cast<uint16_t>(n);
     }},
    {"--hex-file", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->run.options |= kOptHexFile; }},
    {"--hex-path", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->run.options |= kOptHexPath; }},
    {"--no-locks", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->run.options |= kOptNoLocks; }},
    {"--no-backup", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->run.options |= kOptNoBackUp; }},
    {"--expand", Kind::kNumber, scan::kExpandRange,
     [](ScanOptions* o, const std::string&, int64_t n) { o->run.expand = static_cast<int32_t>(n); }},
    {"--buffer-percent", Kind::kNumber, scan::kBufferPercentRange,
     [](ScanOptions* o, const std::string&, int64_t n) {
       o->run.buffer_percent = static_cast<int32_t>(n);
     }},
    {"--buffer-max", Kind::kNumber, scan::kBufferMaxRange,
     [](ScanOptions* o, const std::string&, int64_t n) {
       o->run.buffer_max = static_cast<int32_t>(n);
     }},
    {"--label", Kind::kText, {}, [](ScanOptions* o, const std::string& t, int64_t) { o->label = t; }},
    {"--serial", Kind::kNumber, scan::kSerialRange,
     [](ScanOptions* o, const std::string&, int64_t n) { o->serial = static_cast<uint32_t>(n); }},
    {"--interval", Kind::kNumber, scan::kIntervalRange,
     [](ScanOptions* o, const std::string&, int64_t n) {
       o->run.interval = static_cast<int16_t>(n);
     }},
    {"--threads", Kind::kNumber, scan::kThreadsRange,
     [](ScanOptions* o, const std::string&, int64_t n) { o->run.threads = static_cast<int32_t>(n); }},
    {"--cross-mounts", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->run.cross_mounts = true; }},
    {"--progress", Kind::kFlag, {},
     [](ScanOptions* o, const std::string&, int64_t) { o->progress = true; }},
    {"--quiet", Kind::kFlag, {}, [](ScanOptions* o, const std::string&, int64_t) { o->quiet = true; }},
};

}  // namespace

bool ParseScanOptions(const Args& args, ScanOptions* options, std::string* error) {
  bool have_path = false;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool is_option = !options_done && arg.size() > 1 && arg[0] == '-';
    if (!is_option) {
      if (have_path) {
        *error = "more than one PATH given: '" + arg + "'";
        return false;
      }
      options->path = arg;
      have_path = true;
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (IsHelpOption(arg)) {
      options->help = true;
      return true;
    }
    const size_t equal = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equal);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : kOptions) {
      if (candidate.name == name) spec = &candidate;
    }
    if (spec == nullptr) {
      *error = "unknown option '" + std::string(name) + "'";
      return false;
    }
    std::string value;
    if (spec->kind == Kind::kFlag) {
      if (equal != std::string::npos) {
        *error = "option '" + std::string(name) + "' takes no value";
        return false;
      }
    } else if (equal != std::string::npos) {
      value = arg.substr(equal + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      *error = "option '" + std::string(name) + "' needs a value";
      return false;
    }
    int64_t number = 0;
    if (spec->kind == Kind::kNumber &&
        !ParseNumber(value, spec->range.low, spec->range.high, &number)) {
      *error = "option '" + std::string(name) + "' needs a number from " +
               std::to_string(spec->range.low) + " to " + std::to_string(spec->range.high) +
               ", not '" + value + "'";
      return false;
    }
    spec->apply(options, value, number);
  }
  if (!have_path || options->path.empty()) {
    *error = "missing PATH";
    return false;
  }
  return true;
}

}  // namespace cli
