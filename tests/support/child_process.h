// A program run by a test, such as an independent OSC peer, with its output
// read line by line. The program never outlives the object.
#pragma once

#include <sys/types.h>  // pid_t, also in MinGW

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zephyx::testsupport {

class ChildProcess {
 public:
  // Starts argv[0], searched on PATH, with the remaining arguments. Its
  // stdout and stderr go to one pipe that readLine reads; stdin is a pipe
  // that nothing is written to and that closes with the object (on Windows,
  // NUL). When it cannot be started, started() is false and startError()
  // says why.
  explicit ChildProcess(const std::vector<std::string>& argv);
  // Ends the program and what it started (its process group) if still
  // running: SIGTERM, then SIGKILL after a short grace period. On Windows
  // the program alone is terminated at once.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const std::string& startError() const { return startError_; }
  // The command line, for failure messages.
  const std::string& commandLine() const { return commandLine_; }

  // The next line of output without its line feed, or nothing when none is
  // complete within `wait` or the output has ended.
  std::optional<std::string> readLine(std::chrono::milliseconds wait);
  // True once the program closed its output.
  bool outputEnded() const { return outputEnded_; }
  // Every line read so far and any partial line, for failure messages.
  const std::string& transcript() const { return transcript_; }

  // Waits until the program ends, reading (and keeping in the transcript)
  // its output meanwhile. Its exit code, 128 + the signal that ended it, or
  // nothing when it is still running at the deadline.
  std::optional<int> waitForExit(std::chrono::milliseconds wait);

 private:
  // Reads what is available within `wait`; false on timeout or end of output.
  bool fill(std::chrono::milliseconds wait);
  // True once the program has ended, without reaping it.
  bool ended() const;
  bool reap(bool block);

  pid_t pid_ = -1;
#if defined(_WIN32)
  void* process_ = nullptr;  // HANDLE
  void* outputPipe_ = nullptr;
#else
  int output_ = -1;
  int input_ = -1;
#endif
  bool outputEnded_ = false;
  std::optional<int> exitCode_;
  std::string buffer_;
  std::string transcript_;
  std::string startError_;
  std::string commandLine_;
};

}  // namespace zephyx::testsupport
