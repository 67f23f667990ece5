#pragma once
// The door between the program's UTF-8 paths and the system's UTF-16 ones (Windows only).

#include <string>
#include <string_view>

namespace platform {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);
// The path in the system's long form: absolute, backslashes, "\\?\" before a drive path
// and "\\?\UNC\" before a network one, so no name is cut at 260 characters and none is
// changed on the way (a trailing dot or blank stays). Empty for an empty path.
std::wstring LongPath(const std::string& path);
// The path without the long form's "\\?\" or "\\?\UNC\" prefix, as users write it.
std::string ShortForm(std::wstring_view path);
// The system's text for an error code, without its line end.
std::string SystemErrorText(unsigned long code);

}  // namespace platform
