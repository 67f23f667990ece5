#include "app_fixture.h"

#include "suites.h"

#include <QComboBox>
#include <QTest>
#include <cstdlib>

#include "app/kit/folder_picker.h"
#include "platform/files.h"
#include "support/string_list.h"
#include "support/sys_init.h"

namespace testing_support {

bool ScriptedAnswers::Next(const std::string& caption, std::string* answer) {
  captions_.push_back(caption);
  if (answers_.empty()) return false;
  *answer = answers_.front();
  answers_.pop_front();
  return !answer->empty();
}

ScriptedFolders::ScriptedFolders() {
  SetFolderHandler(
      [this](const std::string& caption, const std::string& start, std::string* folder) {
        starts_.push_back(start);
        return Next(caption, folder);
      });
}

ScriptedFolders::~ScriptedFolders() { SetFolderHandler(nullptr); }

ScriptedFiles::ScriptedFiles() {
  SetFileHandler([this](bool, const std::string& caption, const std::string&, std::string* file) {
    return Next(caption, file);
  });
}

ScriptedFiles::~ScriptedFiles() { SetFileHandler(nullptr); }

AppEnv::AppEnv(bool with_base_file) {
  setenv("CHECKER_APPDIR", temp_.path().toLocal8Bit().constData(), 1);
  setenv("XDG_CONFIG_HOME", temp_.path().toLocal8Bit().constData(), 1);
  // Without a base file SysInitSx would ask; the test runs it itself.
  if (!with_base_file) return;
  platform::WriteWholeFile(base_file(), "");
  Init();
}

std::string AppEnv::dir() const { return temp_.path().toStdString() + "/"; }
std::string AppEnv::ini_file() const { return dir() + "app_tests.Ini"; }
std::string AppEnv::base_file() const { return dir() + "Quorvane.Ini"; }

void AppEnv::Init() { support::SysInitSx(); }

std::unique_ptr<TViv050> OpenWindow() {
  auto window = std::make_unique<TViv050>();
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
  return window;
}

std::string TextOf(const QObject* window, const char* name) {
  if (auto* edit = Find<QLineEdit>(window, name)) return edit->text().toStdString();
  if (auto* box = Find<QComboBox>(window, name)) return box->currentText().toStdString();
  if (auto* label = Find<QLabel>(window, name)) return label->text().toStdString();
  return "<no " + std::string(name) + ">";
}

void Enter(TViv050* window, const char* name, const QString& text) {
  QLineEdit* edit = Find<QLineEdit>(window, name);
  if (edit == nullptr) {
    if (auto* box = Find<QComboBox>(window, name)) edit = box->lineEdit();
  }
  if (edit == nullptr) return;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
  if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClick(edit, Qt::Key_Return);
}

std::vector<std::string> FileLines(const std::string& path) {
  support::StringList lines;
  lines.LoadFromFile(path);
  return lines.items();
}

}  // namespace testing_support

namespace testing_support {

std::vector<SuiteMaker>& Suites() {
  static std::vector<SuiteMaker> suites;
  return suites;
}

}  // namespace testing_support
