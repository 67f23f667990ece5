#pragma once
// Numbers in picture masks, the way the lists write them: "0" is a digit always shown,
// "#" a digit shown only when significant, anything else a literal. Digits beyond the
// mask's places go in front of its first place, so a value too wide widens the field.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lists {

inline constexpr std::string_view kMaskId = "00000 00000";
inline constexpr std::string_view kMaskReadError = "000 000";
inline constexpr std::string_view kMaskSize = "### ### ### ##0";
inline constexpr std::string_view kMaskSmall = "##0";
inline constexpr std::string_view kMaskIdSum = "00 000 000 000 000 000 000";
inline constexpr std::string_view kMaskBytes = "#### ### ### ### ##0";
inline constexpr std::string_view kMaskCount = "### ### ##0";
inline constexpr std::string_view kMaskSerial = " 00000 00000 ";

// Appends the value in the mask, right-aligned with blanks to `width` characters
// (the mask's length when width is 0). From the first "0" on, "#" places show too.
// A literal between places shows only when a place left of it shows.
void AppendMasked(std::string* out, uint64_t value, std::string_view mask, size_t width = 0);
std::string FormatMasked(uint64_t value, std::string_view mask, size_t width = 0);

// Appends upper-case hex digits without leading zeros, right-aligned to `width`.
void AppendHex(std::string* out, uint64_t value, size_t width);
// Appends plain decimal digits, right-aligned to `width`.
void AppendDecimal(std::string* out, uint64_t value, size_t width);

}  // namespace lists
