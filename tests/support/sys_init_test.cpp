#include "support/sys_init.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/scoped_env.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/paths.h"
#include "support/msg.h"
#include "support/recording_msg.h"

namespace support {

namespace {

using testing_support::ScopedEnv;
using testing_support::TempTree;

// Where the user's settings live: XDG's variable on Linux, the roaming profile on Windows.
constexpr const char* kConfigVariable =
    platform::kNativePathStyle == platform::PathStyle::kWindows ? "APPDATA" : "XDG_CONFIG_HOME";

class SysInitEnvTest : public ::testing::Test {
 protected:
  SysInitEnvTest()
      : app_dir_(tree_.Path("app/")),
        config_dir_(tree_.Path("config/")),
        app_env_("CHECKER_APPDIR", tree_.Path("app")),
        config_env_(kConfigVariable, tree_.Path("config")) {}

  std::string ExpectedQuestion() const {
    return "Base file Quorvane.Ini was not found. Cannot go on without it.\r\n"
           "The file has paths for playlist, slideshow custom root, volume, etc. sub "
           "systems.\r\n"
           "It is intended to be in Windows direcory, the data is common to all Vantic "
           "powered programs and games.\r\n"
           "- In application directory file is unique to the programs in the application's "
           "directory.\r\n"
           "- Also then,when you have another file in Windows Directory.\r\n"
           "\r\n"
           "Yes - Creates the file into Windows directory :\r\n"
           " " +
           config_dir_ +
           "\r\n"
           "\r\n"
           "No  - Creates the file into application direcory :\r\n"
           "  " +
           app_dir_ +
           "\r\n"
           "\r\n"
           "Cancel terminates program.\r\n"
           "\r\n"
           "? You can add, synchronize and maintain multiple locations /  operating systems "
           "from the maintenance screen.\r\n"
           "? If you or Windows setup deletes the file, you'll get to answer this for "
           "recreational purposes.\r\n";
  }

  TempTree tree_;
  std::string app_dir_;
  std::string config_dir_;
  ScopedEnv app_env_;
  ScopedEnv config_env_;
  testing_support::RecordingMsg msgs_;
};

TEST_F(SysInitEnvTest, NamesFollowTheProgramAndTheAppDirVariable) {
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  const std::string program =
      testing_support::TextOf(testing_support::PathOf(platform::ExecutablePath()).stem());
  EXPECT_EQ(SxAppName, program);
  EXPECT_EQ(SxAppDir, app_dir_);
  EXPECT_EQ(SxAppIniFile, app_dir_ + program + ".Ini");
  EXPECT_TRUE(std::filesystem::is_directory(app_dir_));
  EXPECT_EQ(WinDirSx(), config_dir_);
}

TEST_F(SysInitEnvTest, BaseFileInTheAppDirWinsOverTheSharedOne) {
  tree_.File("app/Quorvane.Ini", "");
  tree_.File("config/Quorvane.Ini", "[NorvelBase]\n");
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(SxBaseDir, app_dir_);
  EXPECT_EQ(SxBaseIniFile, app_dir_ + "Quorvane.Ini");
  EXPECT_TRUE(msgs_.messages().empty());
}

TEST_F(SysInitEnvTest, SharedBaseFileIsFoundWithoutAQuestion) {
  tree_.File("config/Quorvane.Ini", "[NorvelBase]\n");
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(SxBaseDir, config_dir_);
  EXPECT_EQ(SxBaseIniFile, config_dir_ + "Quorvane.Ini");
  EXPECT_TRUE(msgs_.messages().empty());
  EXPECT_EQ(TempTree::Read(SxBaseIniFile), "[NorvelBase]\n");
}

TEST_F(SysInitEnvTest, MissingBaseFileAsksAndYesCreatesItInTheSharedFolder) {
  msgs_.Answer(support::kIdYes);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  ASSERT_EQ(msgs_.messages().size(), 1u);
  EXPECT_EQ(msgs_.messages()[0].text, ExpectedQuestion());
  EXPECT_EQ(msgs_.messages()[0].caption, "Vantic SysInit");
  EXPECT_EQ(msgs_.messages()[0].flags, 35 | support::kMbTaskModal);
  EXPECT_EQ(SxBaseDir, config_dir_);
  EXPECT_EQ(SxBaseIniFile, config_dir_ + "Quorvane.Ini");
  ASSERT_TRUE(std::filesystem::is_regular_file(SxBaseIniFile));
  EXPECT_EQ(std::filesystem::file_size(SxBaseIniFile), 0u);
  // Found the next time, without asking again.
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(msgs_.messages().size(), 1u);
}

TEST_F(SysInitEnvTest, NoCreatesTheBaseFileInTheAppDir) {
  msgs_.Answer(support::kIdNo);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(SxBaseDir, app_dir_);
  EXPECT_TRUE(std::filesystem::is_regular_file(app_dir_ + "Quorvane.Ini"));
  EXPECT_FALSE(std::filesystem::exists(config_dir_ + "Quorvane.Ini"));
}

TEST_F(SysInitEnvTest, CancelAsksTheCallerToEndAndCreatesNothing) {
  msgs_.Answer(support::kIdCancel);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kCancelled);
  EXPECT_FALSE(std::filesystem::exists(app_dir_ + "Quorvane.Ini"));
  EXPECT_FALSE(std::filesystem::exists(config_dir_ + "Quorvane.Ini"));
  EXPECT_EQ(SxBaseIniFile, "");
}

TEST_F(SysInitEnvTest, ABoxThatCannotBeShownKeepsTheFileWithTheProgram) {
  msgs_.Answer(0);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(SxBaseDir, app_dir_);
  EXPECT_TRUE(std::filesystem::is_regular_file(app_dir_ + "Quorvane.Ini"));
}

TEST(SysInitFolderTest, SharedFolderIsCreatedWhenMissing) {
  TempTree tree;
  ScopedEnv app("CHECKER_APPDIR", tree.root() + "app/");
  ScopedEnv config(kConfigVariable, tree.Path("not/yet"));
  testing_support::RecordingMsg msgs;
  msgs.Answer(support::kIdYes);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kReady);
  EXPECT_EQ(SxBaseIniFile, tree.Path("not/yet/Quorvane.Ini"));
  EXPECT_TRUE(std::filesystem::is_regular_file(SxBaseIniFile));
}

TEST(SysInitFolderTest, UnwritableBaseFileIsReportedToTheCaller) {
  TempTree tree;
  tree.File("blocker", "a file where a folder should be");
  ScopedEnv app("CHECKER_APPDIR", tree.root() + "app/");
  ScopedEnv config(kConfigVariable, tree.Path("blocker"));
  testing_support::RecordingMsg msgs;
  msgs.Answer(support::kIdYes);
  EXPECT_EQ(SysInitSx(), support::InitStatus::kBaseFileFailed);
}

TEST(MsgTest, DefaultHandlerAnswersWithTheFirstButton) {
  support::MsgHandler previous = support::SetMsgHandler(nullptr);
  EXPECT_EQ(MsgSx("text"), support::kIdOk);
  EXPECT_EQ(MsgSx("q", "c", support::kMbOkCancel), support::kIdOk);
  EXPECT_EQ(MsgSx("q", "c", support::kMbAbortRetryIgnore), support::kIdAbort);
  EXPECT_EQ(MsgSx("q", "c", support::kMbYesNoCancel | support::kMbIconQuestion), support::kIdYes);
  EXPECT_EQ(MsgSx("q", "c", support::kMbYesNo), support::kIdYes);
  EXPECT_EQ(MsgSx("q", "c", support::kMbRetryCancel), support::kIdRetry);
  support::SetMsgHandler(previous);
}

TEST(MsgTest, HandlerGetsTextsAndTaskModalFlag) {
  testing_support::RecordingMsg msgs;
  msgs.Answer(support::kIdNo);
  EXPECT_EQ(MsgSx(SxValue(42), SxValue(), support::kMbYesNo), support::kIdNo);
  EXPECT_EQ(MsgSx("Failed to allocate memory buffer", "Scandisk"), support::kIdOk);
  ASSERT_EQ(msgs.messages().size(), 2u);
  EXPECT_EQ(msgs.messages()[0].text, "42");
  EXPECT_EQ(msgs.messages()[0].caption, "");
  EXPECT_EQ(msgs.messages()[0].flags, support::kMbYesNo | support::kMbTaskModal);
  EXPECT_EQ(msgs.messages()[1].text, "Failed to allocate memory buffer");
  EXPECT_EQ(msgs.messages()[1].caption, "Scandisk");
}

TEST(EntityTest, TablesHoldHtmlAndOwnEntities) {
  support::InitStatus status;
  {
    TempTree tree;
    ScopedEnv app("CHECKER_APPDIR", tree.root());
    tree.File("Quorvane.Ini", "");
    status = SysInitSx();
  }
  ASSERT_EQ(status, support::InitStatus::kReady);
  EXPECT_EQ(SxEntityHtml[65], "A");
  EXPECT_EQ(SxEntityHtml[0], std::string(1, '\0'));
  EXPECT_EQ(SxEntityHtml[34], "&quot;");
  EXPECT_EQ(SxEntityHtml[38], "&amp;");
  EXPECT_EQ(SxEntityHtml[60], "&lt;");
  EXPECT_EQ(SxEntityHtml[62], "&gt;");
  EXPECT_EQ(SxEntityHtml[128], "&euro;");
  EXPECT_EQ(SxEntityHtml[129], "\xc2\x81");
  EXPECT_EQ(SxEntityHtml[160], "&nbsp;");
  EXPECT_EQ(SxEntityHtml[173], "&shy;");
  EXPECT_EQ(SxEntityHtml[198], "&AElig;");
  EXPECT_EQ(SxEntityHtml[215], "&times;");
  EXPECT_EQ(SxEntityHtml[223], "&szlig;");
  EXPECT_EQ(SxEntityHtml[247], "&divide;");
  EXPECT_EQ(SxEntityHtml[255], "&yuml;");
  EXPECT_EQ(SxEntityHtml[96], "`");
  EXPECT_EQ(SxEntityAll[0], "&NIL");
  EXPECT_EQ(SxEntityAll[9], "&TAB;");
  EXPECT_EQ(SxEntityAll[32], "&sp;");
  EXPECT_EQ(SxEntityAll[92], "&bslash;");
  EXPECT_EQ(SxEntityAll[126], "&tilde;");
  EXPECT_EQ(SxEntityAll[96], SxEntityAll[180]);
  EXPECT_EQ(SxEntityAll[65], "A");
  EXPECT_EQ(SxEntityAll[1], "\x01");
  for (int c : {34, 38, 60, 62, 128}) EXPECT_EQ(SxEntityAll[c], SxEntityHtml[c]) << c;
  for (int c = 160; c < 256; ++c) {
    EXPECT_EQ(SxEntityAll[c], SxEntityHtml[c]) << c;
    EXPECT_EQ(SxEntityHtml[c].front(), '&') << c;
    EXPECT_EQ(SxEntityHtml[c].back(), ';') << c;
  }
}

}  // namespace

}  // namespace support
