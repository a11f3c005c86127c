#include "tests/support/child_process.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <thread>

namespace zephyx::testsupport {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

// Starting, ending and reading the program; child_process_win32.cpp has
// these for Windows.
#if !defined(_WIN32)
ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  for (const std::string& argument : argv) {
    if (!commandLine_.empty()) commandLine_ += ' ';
    commandLine_ += argument;
  }
  if (argv.empty()) {
    startError_ = "no program given";
    return;
  }
  // Everything the child touches is prepared before fork: between fork and
  // exec only async-signal-safe calls are allowed.
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  int output[2];
  int execFailure[2];
  if (::pipe2(output, O_CLOEXEC) != 0) {
    startError_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  if (::pipe2(execFailure, O_CLOEXEC) != 0) {
    startError_ = std::string("pipe: ") + std::strerror(errno);
    ::close(output[0]);
    ::close(output[1]);
    return;
  }
  // Its stdin: a pipe whose end this object holds, so that a program
  // waiting for the end of its input ends with the test, even a killed one.
  int input[2];
  if (::pipe2(input, O_CLOEXEC) != 0) {
    startError_ = std::string("pipe: ") + std::strerror(errno);
    for (int fd : {output[0], output[1], execFailure[0], execFailure[1]}) ::close(fd);
    return;
  }

  const pid_t pid = ::fork();
  if (pid == 0) {
    // A group of its own, so that ending it also ends whatever it started.
    ::setpgid(0, 0);
    ::dup2(input[0], STDIN_FILENO);
    ::dup2(output[1], STDOUT_FILENO);
    ::dup2(output[1], STDERR_FILENO);
    ::signal(SIGPIPE, SIG_DFL);
    ::execvp(arguments[0], arguments.data());
    // Only reached when exec failed: the parent learns why through the
    // pipe that a successful exec would have closed.
    const int error = errno;
    ssize_t ignored = ::write(execFailure[1], &error, sizeof error);
    (void)ignored;
    ::_exit(127);
  }

  if (pid > 0) ::setpgid(pid, pid);  // also here: the child may not have got there yet
  ::close(output[1]);
  ::close(execFailure[1]);
  ::close(input[0]);
  if (pid < 0) {
    startError_ = std::string("fork: ") + std::strerror(errno);
    ::close(output[0]);
    ::close(input[1]);
    ::close(execFailure[0]);
    return;
  }

  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(execFailure[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(execFailure[0]);
  if (got == static_cast<ssize_t>(sizeof error)) {
    startError_ = "cannot run " + argv[0] + ": " + std::strerror(error) +
                  (error == ENOENT ? " (is it installed?)" : "");
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(output[0]);
    ::close(input[1]);
    return;
  }
  pid_ = pid;
  output_ = output[0];
  input_ = input[1];
}

ChildProcess::~ChildProcess() {
  if (started() && !exitCode_) {
    ::kill(-pid_, SIGTERM);
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (!ended() && Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Whatever is left of the group. The program is not reaped yet, so its
    // id cannot have passed to an unrelated process group.
    ::kill(-pid_, SIGKILL);
    reap(true);
  }
  if (output_ >= 0) ::close(output_);
  if (input_ >= 0) ::close(input_);
}

bool ChildProcess::ended() const {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid_;
}

bool ChildProcess::reap(bool block) {
  if (exitCode_) return true;
  int status = 0;
  pid_t done = 0;
  do {
    done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done != pid_) return false;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool ChildProcess::fill(std::chrono::milliseconds wait) {
  if (output_ < 0 || outputEnded_) return false;
  pollfd ready{output_, POLLIN, 0};
  const int polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
  if (polled <= 0) return false;
  char chunk[4096];
  ssize_t got = 0;
  do {
    got = ::read(output_, chunk, sizeof chunk);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    outputEnded_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(got));
  transcript_.append(chunk, static_cast<size_t>(got));
  return true;
}

#endif

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds wait) {
  const auto end = Clock::now() + wait;
  for (;;) {
    const size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      // Windows programs end their lines with CR LF.
      const size_t length = newline > 0 && buffer_[newline - 1] == '\r' ? newline - 1 : newline;
      std::string line = buffer_.substr(0, length);
      buffer_.erase(0, newline + 1);
      return line;
    }
    if (outputEnded_ || !started()) {
      if (buffer_.empty()) return std::nullopt;
      std::string last;
      last.swap(buffer_);
      return last;
    }
    const int left = millisecondsLeft(end);
    if (!fill(std::chrono::milliseconds(left)) && !outputEnded_ && Clock::now() >= end) {
      return std::nullopt;
    }
  }
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds wait) {
  if (!started()) return std::nullopt;
  const auto end = Clock::now() + wait;
  // Reading keeps a talkative program from blocking on a full pipe; the
  // output ends when the program does.
  while (!outputEnded_ && Clock::now() < end)
    fill(std::chrono::milliseconds(millisecondsLeft(end)));
  while (!reap(false)) {
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return exitCode_;
}

}  // namespace zephyx::testsupport
