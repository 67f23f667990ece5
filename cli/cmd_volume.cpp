#include "cli/commands.h"

namespace cli {
int RunVolumeCommand(const Args&) { return UsageError("volume: not available yet"); }
int RunNamesCommand(const Args&) { return UsageError("names: not available yet"); }
}  // namespace cli
