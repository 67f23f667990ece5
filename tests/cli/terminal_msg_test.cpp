#include "cli/terminal_msg.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/paths.h"
#include "support/msg.h"

namespace {

using cli::AnswerOnTerminal;

TEST(TerminalMsgTest, MessagePrintsCaptionAndTextWithPlainLineEnds) {
  std::istringstream in;
  std::ostringstream err;
  EXPECT_EQ(AnswerOnTerminal("first\r\nsecond\r\n", "Scandisk", support::kMbOk, in, err, true),
            support::kIdOk);
  EXPECT_EQ(err.str(), "Scandisk:\nfirst\nsecond\n");
}

TEST(TerminalMsgTest, ControlCharactersInTextAndCaptionAreShownAsQuestionMarks) {
  std::istringstream in;
  std::ostringstream err;
  AnswerOnTerminal("Cannot open\r\n/data/\x1b]0;x\x07\xc2\x9b.jpg\n\tend", "Scan\x1b[5m",
                   support::kMbOk, in, err, false);
  EXPECT_EQ(err.str(), "Scan?[5m:\nCannot open\n/data/?]0;x??.jpg\n?end\n");
}

TEST(TerminalMsgTest, EmptyCaptionPrintsTheTextOnly) {
  std::istringstream in;
  std::ostringstream err;
  EXPECT_EQ(
      AnswerOnTerminal("Input data type is not correct", "", support::kMbTaskModal, in, err, false),
      support::kIdOk);
  EXPECT_EQ(err.str(), "Input data type is not correct\n");
}

TEST(TerminalMsgTest, WithoutATerminalTheFirstButtonIsTaken) {
  std::istringstream in("n\n");
  std::ostringstream err;
  EXPECT_EQ(AnswerOnTerminal("Create?", "Setup", 35 | support::kMbTaskModal, in, err, false),
            support::kIdYes);
  EXPECT_EQ(err.str(), "Setup:\nCreate?\n(no answer from a terminal: yes)\n");
  std::ostringstream err2;
  EXPECT_EQ(AnswerOnTerminal("Go?", "", support::kMbOkCancel, in, err2, false), support::kIdOk);
  EXPECT_EQ(err2.str(), "Go?\n(no answer from a terminal: ok)\n");
}

TEST(TerminalMsgTest, BaseFileQuestionWithoutATerminalPrintsNothingAndTakesYes) {
  std::istringstream in("n\n");
  std::ostringstream err;
  EXPECT_EQ(cli::AskWhereToCreateBaseFile("/s/", "/a/", in, err, false), support::kIdYes);
  EXPECT_EQ(err.str(), "");
}

TEST(TerminalMsgTest, QuestionReadsAnAnswerAndAsksAgainAfterNonsense) {
  std::istringstream in("maybe\n  C \n");
  std::ostringstream err;
  EXPECT_EQ(AnswerOnTerminal("Base file missing", "", support::kMbYesNoCancel, in, err, true),
            support::kIdCancel);
  EXPECT_EQ(err.str(), "Base file missing\n[y]es/[n]o/[c]ancel? [y]es/[n]o/[c]ancel? ");
}

TEST(TerminalMsgTest, EveryButtonSetHasItsAnswers) {
  struct Case {
    int flags;
    const char* answer;
    int id;
  };
  for (const Case& c : {Case{support::kMbYesNo, "no", support::kIdNo},
                        Case{support::kMbYesNo, "Y", support::kIdYes},
                        Case{support::kMbOkCancel, "cancel", support::kIdCancel},
                        Case{support::kMbAbortRetryIgnore, "i", support::kIdIgnore},
                        Case{support::kMbAbortRetryIgnore, "retry", support::kIdRetry},
                        Case{support::kMbRetryCancel, "r", support::kIdRetry}}) {
    std::istringstream in(std::string(c.answer) + "\n");
    std::ostringstream err;
    EXPECT_EQ(AnswerOnTerminal("q", "", c.flags, in, err, true), c.id) << c.answer;
  }
}

TEST(TerminalMsgTest, EndOfInputTakesTheFirstButton) {
  std::istringstream in("");
  std::ostringstream err;
  EXPECT_EQ(AnswerOnTerminal("q", "", support::kMbRetryCancel, in, err, true), support::kIdRetry);
  EXPECT_EQ(err.str(), "q\n[r]etry/[c]ancel? \n(no answer from a terminal: retry)\n");
}

TEST(TerminalMsgTest, InstalledHandlerAnswersMsgSxWithoutWaiting) {
  // Run from a terminal, the question would wait for a person.
  if (platform::IsTerminal(0)) GTEST_SKIP() << "stdin is a terminal";
  cli::InstallTerminalMsgHandler();
  testing::internal::CaptureStderr();
  int id = support::MsgSx("Failed to allocate memory buffer", "Scandisk", support::kMbYesNo);
  std::string printed = testing::internal::GetCapturedStderr();
  support::SetMsgHandler(nullptr);
  EXPECT_EQ(id, support::kIdYes);
  EXPECT_EQ(printed,
            "Scandisk:\nFailed to allocate memory buffer\n(no answer from a terminal: yes)\n");
}

}  // namespace
