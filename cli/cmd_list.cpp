// checker-cli list: what a directory walk finds, one entry a line.

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "cli/usage.h"
#include "fs/dir_iter.h"
#include "platform/paths.h"
#include "support/string_list.h"
#include "support/text.h"

namespace cli {

namespace {

constexpr uint32_t kDefaultListOptions = walk_option::NoFiles | walk_option::Recurse;

// Decimal 0 to 4294967295, nothing else.
bool ParseOptions(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

int RunListCommand(const Args& args) {
  uint32_t options = kDefaultListOptions;
  std::string params;
  std::string path;
  bool have_path = false;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && IsHelpOption(arg)) return PrintCommandUsage("list");
    if (!options_ended && arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      std::string name = arg;
      std::string value;
      bool has_value = false;
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
        has_value = true;
      }
      if (name != "--options" && name != "--params")
        return UsageError("list: unknown option '" + name + "'");
      if (!has_value) {
        if (i + 1 >= args.size()) return UsageError("list: " + name + " needs a value");
        value = args[++i];
      }
      if (name == "--options") {
        if (!ParseOptions(value, &options))
          return UsageError("list: --options needs a number from 0 to 4294967295, not '" + value +
                            "'");
      } else {
        params = value;
      }
      continue;
    }
    if (have_path) return UsageError("list: more than one PATH");
    path = arg;
    have_path = true;
  }
  if (!have_path) return UsageError("list: missing PATH");

  // Parameters written into the path stay with it; only a relative start is completed.
  if (!path.empty() && path[0] != '/') path = platform::AbsolutePath(path);

  support::StringList list;
  const int64_t total = FilesToStringsSx(&list, path, options, nullptr, "", params);
  std::string line;
  for (const std::string& entry : list.items()) {
    line = entry;
    // One entry a line: a name holding a line break must not split it.
    support::ReplaceLineBreaks(&line);
    line.push_back('\n');
    WriteOut(line);
  }
  std::fflush(stdout);
  std::fprintf(stderr, "total %lld\n", static_cast<long long>(total));
  return total < 0 ? 1 : 0;
}

}  // namespace cli
