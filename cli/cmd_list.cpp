#include "cli/commands.h"

namespace cli {
int RunListCommand(const Args&) { return UsageError("list: not available yet"); }
}  // namespace cli
