#pragma once
// Start-up and shut-down of the desktop program around its event loop.

#include <memory>

class TViv050;

// After the QApplication exists: installs the message box handler, runs SysInitSx and
// names the application, then builds the main window and shows it. Null when the user
// cancelled the base-file question: the program then ends with exit code 0 before any
// window exists.
std::unique_ptr<TViv050> StartDesktop();

// Runs the event loop until the main window is closed, then waits for a job that is
// still running to stop (it cuts its list and stamps it) before the window goes.
// Returns the exit code.
int RunDesktop(std::unique_ptr<TViv050> window);
