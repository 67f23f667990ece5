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
  int64_t low = 0;
  int64_t high = 0;
};

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

constexpr OptionSpec kOptions[] = {
    {"--list", Kind::kText},
    {"--tree", Kind::kText},
    {"--name", Kind::kText},
    {"--dirs", Kind::kText},
    {"--files", Kind::kText},
    {"--min-blocks", Kind::kNumber, 0, 99},
    {"--hex-file", Kind::kFlag},
    {"--hex-path", Kind::kFlag},
    {"--no-locks", Kind::kFlag},
    {"--no-backup", Kind::kFlag},
    {"--expand", Kind::kNumber, 0, kInt32Max},
    {"--buffer-percent", Kind::kNumber, 0, 100},
    {"--buffer-max", Kind::kNumber, -1, kInt32Max},
    {"--label", Kind::kText},
    {"--serial", Kind::kNumber, 0, std::numeric_limits<uint32_t>::max()},
    {"--interval", Kind::kNumber, std::numeric_limits<int16_t>::min(),
     std::numeric_limits<int16_t>::max()},
    {"--threads", Kind::kNumber, 0, kMaxReaders},
    {"--cross-mounts", Kind::kFlag},
    {"--progress", Kind::kFlag},
    {"--quiet", Kind::kFlag},
};

void Apply(std::string_view name, const std::string& text, int64_t number, ScanOptions* options) {
  if (name == "--list") options->list_file = text;
  if (name == "--tree") options->tree_file = text;
  if (name == "--name") options->name = text;
  if (name == "--dirs") options->dir_params = text;
  if (name == "--files") options->file_params = text;
  if (name == "--min-blocks") options->min_blocks = static_cast<uint16_t>(number);
  if (name == "--hex-file") options->hex_file = true;
  if (name == "--hex-path") options->hex_path = true;
  if (name == "--no-locks") options->no_locks = true;
  if (name == "--no-backup") options->no_backup = true;
  if (name == "--expand") options->expand = static_cast<int32_t>(number);
  if (name == "--buffer-percent") options->buffer_percent = static_cast<int32_t>(number);
  if (name == "--buffer-max") options->buffer_max = static_cast<int32_t>(number);
  if (name == "--label") options->label = text;
  if (name == "--serial") options->serial = static_cast<uint32_t>(number);
  if (name == "--interval") options->interval = static_cast<int16_t>(number);
  if (name == "--threads") options->threads = static_cast<int32_t>(number);
  if (name == "--cross-mounts") options->cross_mounts = true;
  if (name == "--progress") options->progress = true;
  if (name == "--quiet") options->quiet = true;
}

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
    if (spec->kind == Kind::kNumber && !ParseNumber(value, spec->low, spec->high, &number)) {
      *error = "option '" + std::string(name) + "' needs a number from " +
               std::to_string(spec->low) + " to " + std::to_string(spec->high) + ", not '" + value +
               "'";
      return false;
    }
    Apply(name, value, number, options);
  }
  if (!have_path || options->path.empty()) {
    *error = "missing PATH";
    return false;
  }
  return true;
}

}  // namespace cli
