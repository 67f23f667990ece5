#pragma once
// Names between the program's UTF-8 and the UTF-16 of Windows. A UTF-16 name may hold a
// surrogate without its pair; it is kept as the three bytes such a code point would take
// (as WTF-8 does), so every name the file system holds comes back to the same UTF-16.

#include <string>
#include <string_view>

namespace platform {

// Invalid UTF-8 (a stray byte, an overlong or cut sequence) becomes U+FFFD.
std::u16string ToUtf16(std::string_view text);
std::string FromUtf16(std::u16string_view text);

}  // namespace platform
