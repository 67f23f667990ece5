// checker: the desktop program.

#include <QApplication>

#include "app/main_window.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::unique_ptr<TViv050> window = StartDesktop();
  if (window == nullptr) return 0;
  return RunDesktop(std::move(window));
}
