#include "cli/commands.h"

namespace cli {
int RunIdCommand(const Args&) { return UsageError("id: not available yet"); }
}  // namespace cli
