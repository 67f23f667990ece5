#pragma once
// Narrow-text helpers. Text is UTF-8 held byte for byte; a "character" is one code
// point, and a byte that is not part of a valid sequence is one character by itself
// whose code is the byte's value.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// Removes bytes 0-32 at both ends / at the start / at the end.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Decodes the character at byte offset `pos` and advances `pos` past it.
// Precondition: pos < text.size().
uint32_t NextChar(std::string_view text, size_t* pos);
// Number of characters.
size_t CharCount(std::string_view text);
// Byte offset where character `index` (0-based) begins; text.size() when past the end.
size_t CharOffset(std::string_view text, size_t index);
// Appends the UTF-8 form of a code point (a code below 256 that came from an invalid
// byte should be appended with AppendByteChar instead when exact bytes matter).
void AppendChar(std::string* out, uint32_t code);

// The fixed case folding: ASCII letters and Latin-1 letters U+00C0-U+00DE (not U+00D7)
// with U+00E0-U+00FE (not U+00F7). Everything else maps to itself.
uint32_t FoldLower(uint32_t code);
uint32_t FoldUpper(uint32_t code);

// Locale-independent comparison without regard to case: folded code points first,
// then bytes. Negative, 0 or positive.
int CompareText(std::string_view a, std::string_view b);
// Equal under the fixed folding.
bool SameText(std::string_view a, std::string_view b);

// The path with "/" appended when it does not end with one; empty stays empty.
std::string WithTrailingSlash(std::string path);

// Replaces each CR and LF by "?"; returns true when anything was replaced.
bool ReplaceLineBreaks(std::string* text);

}  // namespace support
