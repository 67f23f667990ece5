#pragma once
// The listings' side of SetPlaceholderNameForTesting (platform/files.h).

#include <cstdint>
#include <string_view>

namespace platform {

// kAttrRecallOnDataAccess for an entry of the name the test seam holds, else 0.
uint32_t PlaceholderMarkOf(std::string_view name);

}  // namespace platform
