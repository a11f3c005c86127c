// ChildProcess on Windows: CreateProcess with one inherited pipe for the
// program's stdout and stderr.
#include <windows.h>

#include <thread>

#include "tests/support/child_process.h"

namespace zephyx::testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// One argument as the C runtime's command-line parser reads it back:
// quoted, with backslashes doubled only where they precede a quote.
void appendQuoted(const std::string& argument, std::string* line) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    *line += argument;
    return;
  }
  *line += '"';
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      *line += std::string(backslashes * 2 + 1, '\\');
    else
      *line += std::string(backslashes, '\\');
    backslashes = 0;
    *line += c;
  }
  *line += std::string(backslashes * 2, '\\');
  *line += '"';
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  for (const std::string& argument : argv) {
    if (!commandLine_.empty()) commandLine_ += ' ';
    commandLine_ += argument;
  }
  if (argv.empty()) {
    startError_ = "no program given";
    return;
  }
  std::string line;
  for (const std::string& argument : argv) {
    if (!line.empty()) line += ' ';
    appendQuoted(argument, &line);
  }

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    startError_ = "CreatePipe: error " + std::to_string(::GetLastError());
    return;
  }
  // Only the program gets the write end; our read end stays ours.
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info{};
  const BOOL created = ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
  const DWORD error = ::GetLastError();
  // The program holds its own copies now: the pipe ends when it exits.
  ::CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
  if (!created) {
    ::CloseHandle(readEnd);
    startError_ = "cannot run " + argv[0] + ": error " + std::to_string(error) +
                  (error == ERROR_FILE_NOT_FOUND ? " (is it installed?)" : "");
    return;
  }
  ::CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = static_cast<pid_t>(info.dwProcessId);
  outputPipe_ = readEnd;
}

ChildProcess::~ChildProcess() {
  if (started() && !exitCode_) {
    // No polite stop to send a console program here; it is ended outright.
    ::TerminateProcess(static_cast<HANDLE>(process_), 1);
    ::WaitForSingleObject(static_cast<HANDLE>(process_), 5000);
  }
  if (process_ != nullptr) ::CloseHandle(static_cast<HANDLE>(process_));
  if (outputPipe_ != nullptr) ::CloseHandle(static_cast<HANDLE>(outputPipe_));
}

bool ChildProcess::ended() const {
  return ::WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_OBJECT_0;
}

bool ChildProcess::reap(bool block) {
  if (exitCode_) return true;
  if (::WaitForSingleObject(static_cast<HANDLE>(process_), block ? INFINITE : 0) != WAIT_OBJECT_0) {
    return false;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
  exitCode_ = static_cast<int>(code);
  return true;
}

bool ChildProcess::fill(std::chrono::milliseconds wait) {
  if (outputPipe_ == nullptr || outputEnded_) return false;
  HANDLE pipe = static_cast<HANDLE>(outputPipe_);
  // Anonymous pipes cannot wait with a timeout: peek until something is there.
  const auto end = Clock::now() + wait;
  DWORD available = 0;
  for (;;) {
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      outputEnded_ = true;  // broken pipe: the program and its copies are gone
      return false;
    }
    if (available > 0) break;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  char chunk[4096];
  DWORD got = 0;
  if (!::ReadFile(pipe, chunk, sizeof chunk < available ? sizeof chunk : available, &got,
                  nullptr) ||
      got == 0) {
    outputEnded_ = true;
    return false;
  }
  buffer_.append(chunk, got);
  transcript_.append(chunk, got);
  return true;
}

}  // namespace zephyx::testsupport
