// checker-cli list: what a directory walk finds, one entry a line.

#include <cstdio>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "fs/dir_iter.h"
#include "platform/paths.h"
#include "support/string_list.h"
#include "support/text.h"

namespace cli {

int RunListCommand(const Args& args) {
  CommandLine given;
  if (const std::optional<int> status = TakeCommandLine("list", args, &given)) return *status;
  std::string path = given.operands.front();
  const uint32_t options = given.walk_options;
  const std::string& params = given.params;

  // Parameters written into the path stay with it; only a relative start is completed.
  if (!path.empty() && !platform::IsAbsolute(path)) path = platform::AbsolutePath(path);

  support::StringList list;
  const int64_t total = fs::FilesToStringsSx(&list, path, options, nullptr, "", params);
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
