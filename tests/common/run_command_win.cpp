#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/run_command.h"
#include "platform/wide_win.h"

namespace testing_support {

namespace {

// One argument as the C runtime's command-line parser reads it back: quotes around it
// when it holds a blank or quote, backslashes doubled only before a quote.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

std::wstring NameOf(const std::wstring& entry) {
  // "=C:=C:\dir" entries begin with their "=".
  const size_t equals = entry.find(L'=', 1);
  return entry.substr(0, equals);
}

// This process's environment with `extra` set on top, as a sorted block.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::wstring> entries;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; p && *p; p += wcslen(p) + 1) entries.emplace_back(p);
  if (current) FreeEnvironmentStringsW(current);
  for (const std::string& e : extra) {
    const std::wstring entry = platform::Widen(e);
    const std::wstring name = NameOf(entry);
    std::erase_if(entries, [&](const std::wstring& old) {
      return CompareStringOrdinal(NameOf(old).c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end());
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  return block + L'\0';
}

// A temporary file the child writes into and that vanishes when the last handle closes.
HANDLE InheritableTempFile() {
  wchar_t dir[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, dir) == 0 || GetTempFileNameW(dir, L"chk", 0, name) == 0) {
    return INVALID_HANDLE_VALUE;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadFromStart(HANDLE h) {
  std::string text;
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  return text;
}

// Starts `program` with `args` and the three standard handles; `environment` null keeps
// this process's own.
bool Start(const std::string& program, const std::vector<std::string>& args, wchar_t* environment,
           HANDLE in, HANDLE out, HANDLE err, PROCESS_INFORMATION* process) {
  const std::wstring application = platform::Widen(program);
  std::wstring command_line = Quoted(application);
  for (const std::string& a : args) command_line += L" " + Quoted(platform::Widen(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  return CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                        environment ? CREATE_UNICODE_ENVIRONMENT : 0, environment, nullptr,
                        &startup, process) != 0;
}

}  // namespace

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
  CommandResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  const HANDLE out = InheritableTempFile();
  const HANDLE err = InheritableTempFile();
  std::wstring environment = EnvironmentBlock(env);
  PROCESS_INFORMATION process{};
  if (Start(program, args, environment.data(), in, out, err, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = ReadFromStart(out);
    result.err = ReadFromStart(err);
  } else {
    result.exit_code = 127;
    result.err = "cannot start " + program + ": " + platform::SystemErrorText(GetLastError());
  }
  for (const HANDLE h : {in, out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return result;
}

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                  nullptr);
  PROCESS_INFORMATION process{};
  if (Start(program, args, nullptr, null, null, null, &process)) {
    CloseHandle(process.hThread);
    process_ = reinterpret_cast<intptr_t>(process.hProcess);
  }
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
}

RunningProgram::~RunningProgram() {
  if (process_ == -1) return;
  if (status_ < 0) {
    Kill();
    Wait();
  }
  CloseHandle(reinterpret_cast<HANDLE>(process_));
}

void RunningProgram::Kill() {
  if (process_ != -1 && status_ < 0) TerminateProcess(reinterpret_cast<HANDLE>(process_), kKilledStatus);
}

int RunningProgram::Wait() {
  if (status_ >= 0) return status_;
  DWORD code = 127;
  if (process_ != -1) {
    const HANDLE h = reinterpret_cast<HANDLE>(process_);
    WaitForSingleObject(h, INFINITE);
    GetExitCodeProcess(h, &code);
  }
  status_ = static_cast<int>(code);
  return status_;
}

CommandResult RunOnTerminal(const std::string& program, const std::vector<std::string>&,
                            const std::vector<std::string>&, const std::string&, int) {
  // Windows has no pseudo-terminal to hand a child; the cases that need one are Linux's.
  CommandResult result;
  result.err = "no terminal to run " + program + " on here";
  return result;
}

}  // namespace testing_support
