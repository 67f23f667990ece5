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

// A lone byte 0x80-0x9F is no UTF-8, but a terminal in an 8-bit mode obeys it as a C1
// control (0x9B starts a sequence); a direction mark makes what follows read backwards.
TEST(TerminalTextTest, LoneC1BytesAndDirectionMarksBecomeQuestionMarks) {
  EXPECT_EQ(TerminalText("a\x9b"
                         "2Jb\x80\x9f"),
            "a?2Jb??");
  EXPECT_EQ(TerminalText("zzz\xe2\x80\xae"
                         "FDP.exe"),
            "zzz?FDP.exe");
  // Every mark that turns the direction: ALM, LRM, RLM, LRE to RLO, LRI to PDI.
  const char* const marks[] = {"\xd8\x9c",     "\xe2\x80\x8e", "\xe2\x80\x8f", "\xe2\x80\xaa",
                               "\xe2\x80\xab", "\xe2\x80\xac", "\xe2\x80\xad", "\xe2\x80\xae",
                               "\xe2\x81\xa6", "\xe2\x81\xa7", "\xe2\x81\xa8", "\xe2\x81\xa9"};
  for (const char* mark : marks) EXPECT_EQ(TerminalText(std::string("<") + mark + ">"), "<?>");
}

TEST(TerminalTextTest, EverythingElseKeepsItsBytes) {
  // A zero-width space and the characters beside the marks turn nothing.
  EXPECT_EQ(TerminalText("Äpfel \xc2\xa0\xc2\xa9 \xe2\x80\x8b \xe2\x80\xaf \xe2\x81\xaa "
                         "\xf0\x9f\x93\xb7"),
            "Äpfel \xc2\xa0\xc2\xa9 \xe2\x80\x8b \xe2\x80\xaf \xe2\x81\xaa \xf0\x9f\x93\xb7");
  // Other invalid UTF-8 is no control in any mode: a lone 0xFF, a lead byte cut short.
  EXPECT_EQ(TerminalText("bad\xff\xc2"
                         "x\xc2"),
            "bad\xff\xc2"
            "x\xc2");
  // An overlong form of ESC: its lead byte stays, its 0x9B is a lone C1 byte.
  EXPECT_EQ(TerminalText("\xc0\x9b"), "\xc0?");
}

}  // namespace
