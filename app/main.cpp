// checker: the desktop program.

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so that it needs no display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("checker %s\n", CHECKER_VERSION);
    return 0;
  }
  QApplication application(argc, argv);
  std::unique_ptr<TViv050> window = StartDesktop();
  if (window == nullptr) return 0;
  return RunDesktop(std::move(window));
}
