#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

bool IsConsole(DWORD which) {
  DWORD mode;
  const HANDLE h = GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// The console's output code page as it was, given back when the run ends: the console
// outlives the program.
UINT g_old_output_page = 0;

void RestoreOutputPage() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (g_old_output_page != 0) SetConsoleOutputCP(g_old_output_page);
}

}  // namespace

int RunWithUtf8Arguments(int argc, wchar_t** argv, Utf8Main run) {
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) texts.push_back(Narrow(argv[i]));
  std::vector<char*> args;
  for (std::string& text : texts) args.push_back(text.data());
  args.push_back(nullptr);
  // A drive without its disk answers with an error, never with a box that waits for a
  // person (who may not be there: a scheduled run, a test).
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // No "\n" becomes "\r\n": lists and reports are the same bytes on every system.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) {
    const UINT old = GetConsoleOutputCP();
    if (old != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      g_old_output_page = old;
      std::atexit(RestoreOutputPage);
    }
  }
  return run(argc, args.data());
}

}  // namespace platform
