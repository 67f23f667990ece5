#include "platform/wide_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/utf16.h"

namespace platform {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

bool StartsWith(std::wstring_view text, std::wstring_view head) {
  return text.substr(0, head.size()) == head;
}

}  // namespace

// wchar_t is UTF-16 on Windows: the same code units as char16_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Widen(std::string_view text) {
  const std::u16string wide = ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view text) {
  return FromUtf16(std::u16string(text.begin(), text.end()));
}

std::wstring LongPath(const std::string& path) {
  if (path.empty()) return {};
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  // Already long, or a device ("\\.\PhysicalDrive0").
  if (StartsWith(wide, kLongPrefix) || StartsWith(wide, L"\\\\.\\")) return wide;
  // The full path resolves "." and ".." and the current directory, which the long form
  // would take literally.
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::vector<wchar_t> full(needed + 1);
  needed = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (needed == 0 || needed >= full.size()) return wide;
  std::wstring result(full.data(), needed);
  if (StartsWith(result, L"\\\\")) return std::wstring(kLongUncPrefix) + result.substr(2);
  return std::wstring(kLongPrefix) + result;
}

std::string ShortForm(std::wstring_view path) {
  if (StartsWith(path, kLongUncPrefix)) return "\\\\" + Narrow(path.substr(kLongUncPrefix.size()));
  if (StartsWith(path, kLongPrefix)) return Narrow(path.substr(kLongPrefix.size()));
  return Narrow(path);
}

std::string SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(code);
  return Narrow(text);
}

}  // namespace platform
