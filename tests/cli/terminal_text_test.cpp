#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cli::TerminalText;

TEST(TerminalTextTest, ControlCharactersBecomeQuestionMarks) {
  EXPECT_EQ(TerminalText("a\x1b]0;title\x07z"), "a?]0;title?z");
  EXPECT_EQ(TerminalText(std::string("\0\t\r\n\x1f \x7f~", 8)), "????? ?~");
  // C1 characters of valid UTF-8: CSI, NEL, the last one.
  EXPECT_EQ(TerminalText("x\xc2\x9b"
                         "2Jy\xc2\x85\xc2\x9f"),
            "x?2Jy??");
  EXPECT_EQ(TerminalText(""), "");
}

TEST(TerminalTextTest, EverythingElseKeepsItsBytes) {
  EXPECT_EQ(TerminalText("Äpfel \xc2\xa0\xc2\xa9 \xe2\x80\x8b \xf0\x9f\x93\xb7"),
            "Äpfel \xc2\xa0\xc2\xa9 \xe2\x80\x8b \xf0\x9f\x93\xb7");
  // Invalid UTF-8 is no C1 character, even a lone byte of the same value.
  EXPECT_EQ(TerminalText("bad\x9b\x85\xff\xc2"
                         "x\xc2"),
            "bad\x9b\x85\xff\xc2"
            "x\xc2");
  // An overlong form of ESC is invalid too: its bytes stay.
  EXPECT_EQ(TerminalText("\xc0\x9b"), "\xc0\x9b");
}

}  // namespace
