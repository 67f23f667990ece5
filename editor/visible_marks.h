#pragma once
// Characters that turn the direction of the text after them (U+202E makes
// "zzz<U+202E>FDP.exe" read "zzzexe.PDF"). Wherever the window shows a name they show
// as their short names in brackets, as do control characters (a line break in a name),
// so a name cannot pass itself off as another.

#include <QString>
#include <string>

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

// `text` with every mark above and every control character replaced by "[RLO]", "[LF]"
// and the like.
QString VisibleMarks(const QString& text);
// The bytes of a name (UTF-8 where they are) as the window shows them.
QString VisibleName(const std::string& bytes);
