#include "app/startup.h"

#include <QApplication>
#include <string>

#include "app/main_window.h"
#include "app/qt_msg.h"
#include "support/msg.h"
#include "support/sys_init.h"

std::unique_ptr<TViv050> StartDesktop() {
  InstallQtMsgHandler();
  const support::InitStatus status = support::SysInitSx();
  if (status == support::InitStatus::kCancelled) return nullptr;
  if (status == support::InitStatus::kBaseFileFailed) {
    // The program goes on; every base key keeps its default.
    support::MsgSx(std::string("Base file ") + support::kBaseIniName +
                       " could not be created: " + support::SxBaseIniFile,
                   "Vantic SysInit");
  }
  QCoreApplication::setApplicationName(QString::fromStdString(support::SxAppName));
  auto window = std::make_unique<TViv050>();
  window->show();
  return window;
}

int RunDesktop(std::unique_ptr<TViv050> window) {
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(window.get(), &TViv050::closed, qApp, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  QApplication::exec();
  // The window's run control stops what still runs and waits for its threads.
  window.reset();
  SetMessageBoxesClosed(true);
  return 0;
}
