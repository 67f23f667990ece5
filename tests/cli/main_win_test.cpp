// The Windows entry of checker-cli: Unicode arguments reach the program whole, and what it
// writes to a pipe is the program's UTF-8 bytes with no line end changed.

#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/utf16.h"

namespace {

struct Output {
  DWORD status = 0;
  std::string out, err;
};

std::wstring Wide(const std::string& text) {
  const std::u16string wide = platform::ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

// Reads a pipe to its end on a thread of its own, so neither pipe fills up and blocks.
DWORD WINAPI Drain(void* context) {
  auto* pipe = static_cast<std::pair<HANDLE, std::string*>*>(context);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe->first, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    pipe->second->append(buffer, got);
  }
  return 0;
}

Output RunCli(const std::vector<std::string>& args) {
  std::wstring line = L"\"" + Wide(CHECKER_CLI_PATH) + L"\"";
  for (const std::string& arg : args) line += L" \"" + Wide(arg) + L"\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  CreatePipe(&out_read, &out_write, &inherit, 0);
  CreatePipe(&err_read, &err_write, &inherit, 0);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = out_write;
  start.hStdError = err_write;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  Output result;
  const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &start, &process);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (started) {
    std::pair<HANDLE, std::string*> out{out_read, &result.out}, err{err_read, &result.err};
    const HANDLE reader = CreateThread(nullptr, 0, Drain, &err, 0, nullptr);
    Drain(&out);
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(out_read);
  CloseHandle(err_read);
  return result;
}

TEST(MainWinTest, UnicodeArgumentsArriveWhole) {
  const std::string root = platform::MakeTempDir("main-");
  ASSERT_FALSE(root.empty());
  // Greek, Chinese and a character beyond the first plane (a surrogate pair in UTF-16).
  const std::string name =
      "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1-\xE4\xB8\xAD\xE6\x96\x87-\xF0\x9F\x98\x80";
  ASSERT_TRUE(platform::MakeDirs(root + name));
  const Output there = RunCli({"volume", root + name});
  EXPECT_EQ(there.status, 0u) << there.err;
  // The drive root the temporary folder lies on ("C:\"), and LF alone at the line end.
  EXPECT_EQ(there.out.substr(0, there.out.find('\n') + 1),
            "Root path: " + root.substr(0, 3) + "\n");
  const Output missing = RunCli({"volume", root + name + "\\gone"});
  EXPECT_EQ(missing.status, 2u);
  EXPECT_EQ(
      missing.err.rfind("checker-cli: cannot query the volume of '" + root + name + "\\gone': ", 0),
      0u)
      << missing.err;
  platform::RemoveDir(root + name);
  platform::RemoveDir(root);
}

}  // namespace

#endif  // _WIN32
