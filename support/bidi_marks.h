#pragma once
// Characters that turn the direction of the text after them (U+202E makes
// "zzz<U+202E>FDP.exe" read "zzzexe.PDF"). Both front ends keep them from acting on a
// name they show: the window by their short names, a terminal as "?".

#include <cstdint>

namespace support {

struct BidiMark {
  char16_t code;
  const char* name;     // "RLO"
  const char* encoded;  // its UTF-8 bytes
};

inline constexpr BidiMark kBidiMarks[] = {
    {0x061C, "ALM", "\xD8\x9C"},     {0x200E, "LRM", "\xE2\x80\x8E"},
    {0x200F, "RLM", "\xE2\x80\x8F"}, {0x202A, "LRE", "\xE2\x80\xAA"},
    {0x202B, "RLE", "\xE2\x80\xAB"}, {0x202C, "PDF", "\xE2\x80\xAC"},
    {0x202D, "LRO", "\xE2\x80\xAD"}, {0x202E, "RLO", "\xE2\x80\xAE"},
    {0x2066, "LRI", "\xE2\x81\xA6"}, {0x2067, "RLI", "\xE2\x81\xA7"},
    {0x2068, "FSI", "\xE2\x81\xA8"}, {0x2069, "PDI", "\xE2\x81\xA9"},
};

// The mark's short name, or null for any other character.
inline const char* BidiMarkName(uint32_t code) {
  for (const BidiMark& mark : kBidiMarks) {
    if (code == mark.code) return mark.name;
  }
  return nullptr;
}

}  // namespace support
