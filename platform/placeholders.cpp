// The placeholder test seam, the same on every system.
#include "platform/placeholders.h"

#include <atomic>
#include <string>

#include "platform/files.h"

namespace platform {

namespace {

// Written only while no lookup runs; the flag spares every other lookup a compare.
std::string g_placeholder_name;
std::atomic<bool> g_placeholder_set{false};

}  // namespace

void SetPlaceholderNameForTesting(const std::string& name) {
  g_placeholder_set.store(false);
  g_placeholder_name = name;
  g_placeholder_set.store(!name.empty());
}

uint32_t PlaceholderMarkOf(std::string_view name) {
  if (!g_placeholder_set.load(std::memory_order_acquire)) return 0;
  return name == g_placeholder_name ? kAttrRecallOnDataAccess : 0;
}

}  // namespace platform
