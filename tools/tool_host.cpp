#include "tools/tool_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "common/locked_string.h"

namespace zephyx::tool {

#if defined(_WIN32)
std::string defaultLibraryPath() {
  std::string directory = ".";
  char executable[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, executable, sizeof executable);
  if (length > 0 && length < sizeof executable) {
    directory.assign(executable, length);
    const size_t slash = directory.find_last_of("\\/");
    directory = slash == std::string::npos ? "." : directory.substr(0, slash);
  }
  return directory + "\\" + ZEPHYX_LIBRARY_FILE;
}
#else
std::string defaultLibraryPath() {
  std::string directory = ".";
  char executable[4096];
  const ssize_t length = ::readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length > 0) {
    executable[length] = '\0';
    directory = executable;
    const size_t slash = directory.rfind('/');
    directory = slash == std::string::npos ? "." : directory.substr(0, slash);
  }
  return directory + "/" + ZEPHYX_LIBRARY_FILE;
}
#endif

bool loadLibrary(standin::StandInHost& host, const std::string& path) {
  std::string error;
  if (host.loadLibrary(path, &error)) return true;
  std::cerr << "zephyx-host: cannot load the library: " << error << "\n";
  return false;
}

bool Literals::parseAll(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    lingo::ParseResult parsed = host_.parse(text);
    if (!parsed.ok) {
      std::cerr << "zephyx-host: malformed literal " << text << ": " << parsed.error << "\n";
      values_.clear();
      return false;
    }
    values_.push_back(host_.own(parsed.value));
  }
  return true;
}

std::vector<HostValue> Literals::raw() const {
  std::vector<HostValue> raw;
  for (const OwnedValue& value : values_) raw.push_back(value.get());
  return raw;
}

std::string callWithLiterals(standin::StandInHost& host, standin::LingoObject& object,
                             const std::string& method, const std::vector<std::string>& literals) {
  Literals arguments(host);
  if (!arguments.parseAll(literals)) return "VOID";
  OwnedValue result = object.call(method, arguments.raw());
  return host.format(result.get());
}

std::string formatArguments(standin::StandInHost& host, const standin::HandlerCall& call) {
  std::string line;
  appendArguments(line, host, call);
  return line;
}

void appendArguments(std::string& out, standin::StandInHost& host,
                     const standin::HandlerCall& call) {
  for (int32_t i = 0; i < call.count; ++i) {
    if (i > 0) out += ", ";
    host.appendFormatted(out, call.args[i]);
  }
}

void appendSender(std::string& out, standin::StandInHost& host, standin::LingoObject& object) {
  OwnedValue sender = object.call("lastSender");
  OwnedValue address(&host.values());
  OwnedValue port(&host.values());
  int32_t portNumber = 0;
  if (host.lists().listGetAt(sender.ptr(), 1, address.out()) == StatusOk &&
      host.lists().listGetAt(sender.ptr(), 2, port.out()) == StatusOk &&
      host.values().valueToInteger(port.ptr(), &portNumber) == StatusOk) {
    const LockedString text(&host.values(), address.get());
    out += text.text();
    out += ':';
    out += std::to_string(portNumber);
  } else {
    // Within a delivery lastSender always names one; anything else shows as it came.
    host.appendFormatted(out, sender.get());
  }
  out += ' ';
}

bool isMessage(standin::StandInHost& host, const standin::HandlerCall& call) {
  int32_t kind = KindVoid;
  return call.count > 0 && host.values().valueType(&call.args[0], &kind) == StatusOk &&
         kind == KindString;
}

void printCall(LineOutput& output, standin::StandInHost& host, standin::LingoObject& object,
               const standin::HandlerCall& call, bool showSender) {
  output.add([&](std::string& line) {
    if (showSender) appendSender(line, host, object);
    appendArguments(line, host, call);
  });
}

namespace {
volatile std::sig_atomic_t stopSignalled = 0;
extern "C" void requestStop(int) { stopSignalled = 1; }
}  // namespace

void catchStopSignals() {
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
#if !defined(_WIN32)
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
#endif
}

bool stopRequested() { return stopSignalled != 0; }

void LineOutput::flush() {
  if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
  buffer_.clear();
  std::fflush(stdout);
}

bool runHostLoop(standin::StandInHost& host, LineOutput& output, const int64_t& handlerCalls,
                 double timeoutSeconds, const std::function<bool()>& done) {
  const auto start = std::chrono::steady_clock::now();
  bool finished = done();
  while (!finished) {
    const int64_t before = handlerCalls;
    host.pump();
    finished = done();
    if (finished) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (timeoutSeconds >= 0 && elapsed.count() >= timeoutSeconds) break;
    if (handlerCalls != before) continue;
    output.flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  output.flush();
  return finished;
}

}  // namespace zephyx::tool
