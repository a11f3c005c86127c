// The stand-in host as the command-line tool runs it: loads the library,
// creates Lingo objects and runs the host loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standin/lingo_object.h"
#include "standin/standin_host.h"

namespace zephyx::tool {

// Exit statuses of every command.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// The file name of the library as the host finds it (a literal, for the
// usage text too).
#if defined(_WIN64)
#define ZEPHYX_LIBRARY_FILE "Zephyx.x64"
#elif defined(_WIN32)
#define ZEPHYX_LIBRARY_FILE "Zephyx.x32"
#else
#define ZEPHYX_LIBRARY_FILE "libzephyx.so"
#endif

// The library next to the running program.
std::string defaultLibraryPath();

// Loads the library into `host`; prints the loader's message and returns
// false when it cannot.
bool loadLibrary(standin::StandInHost& host, const std::string& path);

// Values parsed from Lingo notation, released when the list goes.
class Literals {
 public:
  explicit Literals(standin::StandInHost& host) : host_(host) {}
  // Parses every text; on the first malformed one prints it with the
  // position to standard error and returns false.
  bool parseAll(const std::vector<std::string>& texts);
  const std::vector<OwnedValue>& values() const { return values_; }
  std::vector<HostValue> raw() const;

 private:
  standin::StandInHost& host_;
  std::vector<OwnedValue> values_;
};

// Calls a method whose arguments are Lingo literals; returns the result
// in Lingo notation.
std::string callWithLiterals(standin::StandInHost& host, standin::LingoObject& object,
                             const std::string& method, const std::vector<std::string>& literals);

// The arguments of one handler call in Lingo notation, joined by ", ".
std::string formatArguments(standin::StandInHost& host, const standin::HandlerCall& call);
// The same, appended to `out`.
void appendArguments(std::string& out, standin::StandInHost& host,
                     const standin::HandlerCall& call);

// "HOST:PORT " of the item being delivered, taken from lastSender as a
// script would take it, appended to `out`.
void appendSender(std::string& out, standin::StandInHost& host, standin::LingoObject& object);

// False for a bundle marker, whose head is a symbol where a message has its
// address.
bool isMessage(standin::StandInHost& host, const standin::HandlerCall& call);

// Handler output: whole lines, written in large pieces while calls keep
// coming and at once when they pause, so that a reader of a pipe sees every
// line promptly without a write per line.
class LineOutput {
 public:
  ~LineOutput() { flush(); }
  // `write` appends one line's text, without its line feed, to the buffer
  // it is given: no string per line.
  template <typename Write>
  void add(Write write) {
    write(buffer_);
    buffer_ += '\n';
    if (buffer_.size() >= FlushSize) flush();
  }
  void flush();

 private:
  static constexpr size_t FlushSize = 64 * 1024;
  std::string buffer_;
};

// One line for a handler call, as listen prints it: its arguments, after
// the sender when `showSender`.
void printCall(LineOutput& output, standin::StandInHost& host, standin::LingoObject& object,
               const standin::HandlerCall& call, bool showSender);

// SIGINT and SIGTERM ask the host loop's caller to end cleanly, from the
// start: even before the library is loaded. They are unblocked too, since a
// blocked mask survives exec and would otherwise hide them.
void catchStopSignals();
bool stopRequested();

// Runs the host loop until `done` answers true (then true) or, when
// `timeoutSeconds` is not negative, until that time has passed (then
// false). While `handlerCalls` keeps growing the next pass starts at once;
// a pause flushes the output.
bool runHostLoop(standin::StandInHost& host, LineOutput& output, const int64_t& handlerCalls,
                 double timeoutSeconds, const std::function<bool()>& done);

}  // namespace zephyx::tool
