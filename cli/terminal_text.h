#pragma once
// What checker-cli shows a person. File names and volume labels come from whoever made
// the files; printed raw, an escape sequence in one recolours the terminal, moves the
// cursor or retitles the window. Every text for stderr goes through TerminalText.

#include <string>
#include <string_view>

namespace cli {

// The text with every control character shown as "?": bytes 0-31 and 127, U+0080-U+009F
// and lone bytes of those values, and the direction marks of support/bidi_marks.h. Other
// bytes stay, other invalid UTF-8 included.
std::string TerminalText(std::string_view text);

// Writes `text` to stdout: into a file or a pipe byte for byte, on a terminal through
// TerminalText line by line (its line ends stay), so that a name cannot erase or move
// what is shown.
void WriteOut(std::string_view text);

// Prints "checker-cli: MESSAGE" as one line on stderr, the message through
// TerminalText. Errors, warnings and closing notes all go this way.
void PrintMessage(std::string_view message);

}  // namespace cli
