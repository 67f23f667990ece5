#include "cli/commands.h"

namespace cli {
int RunScanCommand(const Args&, bool) { return UsageError("scan: not available yet"); }
}  // namespace cli
