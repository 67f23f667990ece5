#include "cli/terminal_text.h"

#include <cstdio>

#include "platform/paths.h"
#include "support/bidi_marks.h"
#include "support/text.h"

namespace cli {

namespace {

constexpr char kShown = '?';
constexpr uint32_t kDelete = 0x7F;
constexpr uint32_t kFirstC1 = 0x80;
constexpr uint32_t kLastC1 = 0x9F;

// A lone byte 0x80-0x9F decodes to its own value: a terminal in an 8-bit mode obeys it
// as the C1 control of that value, so it goes with the valid ones.
bool Hidden(uint32_t code) {
  return code < 0x20 || code == kDelete || (code >= kFirstC1 && code <= kLastC1) ||
         support::BidiMarkName(code) != nullptr;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    if (Hidden(support::NextChar(text, &pos))) {
      out.push_back(kShown);
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

void WriteOut(std::string_view text) {
  static const bool terminal = platform::IsTerminal(1);
  if (!terminal) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  std::string shown;
  shown.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    shown += TerminalText(text.substr(pos, end - pos));
    if (end < text.size()) shown.push_back('\n');
    pos = end + 1;
  }
  std::fwrite(shown.data(), 1, shown.size(), stdout);
}

void PrintMessage(std::string_view message) {
  std::string line = "checker-cli: ";
  line += TerminalText(message);
  line.push_back('\n');
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace cli
