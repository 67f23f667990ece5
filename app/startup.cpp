#include "app/startup.h"

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "app/qt_msg.h"
#include "support/msg.h"
#include "support/sys_init.h"

namespace {

// How long a stopped job may take to finish its current file and close its lists.
constexpr auto kJobGraceTime = std::chrono::seconds(10);
constexpr auto kWaitStep = std::chrono::milliseconds(20);

}  // namespace

std::unique_ptr<TViv050> StartDesktop() {
  InstallQtMsgHandler();
  const support::InitStatus status = SysInitSx();
  if (status == support::InitStatus::kCancelled) return nullptr;
  if (status == support::InitStatus::kBaseFileFailed) {
    // The program goes on; every base key keeps its default.
    MsgSx(std::string("Base file ") + support::kBaseIniName + " could not be created: " +
              SxBaseIniFile,
          "Vantic SysInit");
  }
  QCoreApplication::setApplicationName(QString::fromStdString(SxAppName));
  auto window = std::make_unique<TViv050>();
  window->show();
  return window;
}

int RunDesktop(std::unique_ptr<TViv050> window) {
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(window.get(), &TViv050::closed, qApp, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  QApplication::exec();
  const std::shared_future<ScanOutcome> done = window->job_done();
  window.reset();
  SetMessageBoxesClosed(true);
  if (!done.valid()) return 0;
  // The job answers its notifications by itself now; events still run so that one
  // already queued for the window is answered too.
  const auto until = std::chrono::steady_clock::now() + kJobGraceTime;
  while (done.wait_for(kWaitStep) != std::future_status::ready) {
    QCoreApplication::processEvents();
    if (std::chrono::steady_clock::now() >= until) {
      // A job stuck in one file: end at once, without destructors under a live thread.
      std::_Exit(0);
    }
  }
  return 0;
}
