#pragma once
// Unicode simple case folding, for every script. Only the catalogue's name search folds
// this way; masks of the walk, sorting and settings keep support::FoldLower.

#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// The code point a character folds to under Unicode simple case folding (itself when none).
uint32_t FoldCase(uint32_t code);

// A character as a name search compares it: folded by FoldCase, and "\" as "/", so that a
// path written on either system matches a query typed with either separator.
uint32_t FoldNameChar(uint32_t code);

// The text as a name search compares it: each character folded by FoldNameChar and written
// as UTF-8, a byte outside valid UTF-8 taken as the character of its value. Always valid
// UTF-8.
std::string FoldedName(std::string_view text);
// The same into `out` (cleared first), reusing its room.
void FoldNameInto(std::string_view text, std::string* out);

}  // namespace support
