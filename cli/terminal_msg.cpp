#include "cli/terminal_msg.h"

#include <iostream>
#include <string_view>
#include <vector>

#include "cli/terminal_text.h"
#include "platform/paths.h"
#include "support/msg.h"
#include "support/sys_init.h"
#include "support/text.h"

namespace cli {

namespace {

struct Button {
  char key;
  const char* word;
  int id;
};

std::vector<Button> ButtonsOf(int flags) {
  switch (flags & support::kMbButtonMask) {
    case support::kMbOkCancel:
      return {{'o', "ok", support::kIdOk}, {'c', "cancel", support::kIdCancel}};
    case support::kMbAbortRetryIgnore:
      return {{'a', "abort", support::kIdAbort},
              {'r', "retry", support::kIdRetry},
              {'i', "ignore", support::kIdIgnore}};
    case support::kMbYesNoCancel:
      return {{'y', "yes", support::kIdYes},
              {'n', "no", support::kIdNo},
              {'c', "cancel", support::kIdCancel}};
    case support::kMbYesNo:
      return {{'y', "yes", support::kIdYes}, {'n', "no", support::kIdNo}};
    case support::kMbRetryCancel:
      return {{'r', "retry", support::kIdRetry}, {'c', "cancel", support::kIdCancel}};
    default:
      return {};
  }
}

// Message texts carry Windows line ends; a terminal wants plain ones, and nothing else
// of the text may act on it.
std::string PlainLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    out += TerminalText(text.substr(start, end - start));
    out.push_back('\n');
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  if (out.empty()) out.push_back('\n');
  return out;
}

std::string Prompt(const std::vector<Button>& buttons) {
  std::string prompt;
  for (const Button& b : buttons) {
    if (!prompt.empty()) prompt += "/";
    prompt += std::string("[") + b.key + "]" + (b.word + 1);
  }
  return prompt + "? ";
}

std::string Lower(std::string_view text) {
  std::string out(support::TrimView(text));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Asks until an answer names a button, when `interactive`; else, and at the end of the
// input, takes the first button and says so.
int ReadAnswer(const std::vector<Button>& buttons, std::istream& in, std::ostream& err,
               bool interactive) {
  const Button& first = buttons.front();
  if (interactive) {
    std::string line;
    for (;;) {
      err << Prompt(buttons);
      err.flush();
      if (!std::getline(in, line)) break;
      const std::string answer = Lower(line);
      for (const Button& b : buttons) {
        if (answer == std::string(1, b.key) || answer == b.word) return b.id;
      }
    }
    err << "\n";
  }
  err << "(no answer from a terminal: " << first.word << ")\n";
  err.flush();
  return first.id;
}

}  // namespace

int AskWhereToCreateBaseFile(const std::string& shared_dir, const std::string& app_dir,
                             std::istream& in, std::ostream& err, bool interactive) {
  if (!interactive) return support::kIdYes;
  err << "The base settings file " << support::kBaseIniName
      << " was not found. Where shall it be created?\n"
      << "  yes     in the folder all programs of the family share: " << TerminalText(shared_dir)
      << "\n"
      << "  no      in this program's own folder: " << TerminalText(app_dir) << "\n"
      << "  cancel  nowhere; quit\n";
  return ReadAnswer(ButtonsOf(support::kMbYesNoCancel), in, err, true);
}

int AnswerOnTerminal(const std::string& text, const std::string& caption, int flags,
                     std::istream& in, std::ostream& err, bool interactive) {
  // The box's text explains the choice at length for a dialog; here it is a question.
  if (caption == support::kSysInitCaption &&
      (flags & support::kMbButtonMask) == support::kMbYesNoCancel) {
    return AskWhereToCreateBaseFile(support::WinDirSx(), support::SxAppDir, in, err, interactive);
  }
  if (!caption.empty()) err << TerminalText(caption) << ":\n";
  err << PlainLines(text);
  const std::vector<Button> buttons = ButtonsOf(flags);
  if (buttons.empty()) {
    err.flush();
    return support::kIdOk;
  }
  return ReadAnswer(buttons, in, err, interactive);
}

void InstallTerminalMsgHandler() {
  support::SetMsgHandler([](const std::string& text, const std::string& caption, int flags) {
    return AnswerOnTerminal(text, caption, flags, std::cin, std::cerr, platform::IsTerminal(0));
  });
}

}  // namespace cli
