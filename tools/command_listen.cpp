// zephyx-host listen: prints every handler call, one line each.
#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "host/host_ids.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) { stopRequested = 1; }

struct ListenOptions {
  int32_t port = 5500;
  bool asPropList = false;
  int32_t count = 0;  // 0: no limit
  double timeoutSeconds = -1;
  std::string hostVersion = "12.0";
};

bool parseListenOptions(const std::vector<std::string>& arguments, ListenOptions* options,
                        std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--proplist") {
      options->asPropList = true;
      continue;
    }
    if (name != "--port" && name != "--count" && name != "--timeout" && name != "--host-version") {
      *error = "unknown listen argument " + name;
      return false;
    }
    if (i + 1 >= arguments.size()) {
      *error = name + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    bool ok = true;
    if (name == "--port") ok = parseInteger(value, &options->port);
    if (name == "--count") ok = parseInteger(value, &options->count) && options->count > 0;
    if (name == "--timeout") ok = parseSeconds(value, &options->timeoutSeconds);
    if (name == "--host-version") options->hostVersion = value;
    if (!ok) {
      *error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  return true;
}

// The listener's output: whole lines, written in large pieces while calls
// keep coming and at once when they pause, so that a reader of a pipe sees
// every line promptly without a write per line.
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
  void flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
    std::fflush(stdout);
  }

 private:
  static constexpr size_t FlushSize = 64 * 1024;
  std::string buffer_;
};

// A stop may be asked for from the start: even before the library is loaded
// a signal stops the listener cleanly. They are unblocked too, since a
// blocked mask survives exec and would otherwise hide them.
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

}  // namespace

int runListen(const Options& options) {
  catchStopSignals();
  ListenOptions listen;
  std::string error;
  if (!parseListenOptions(options.arguments, &listen, &error)) return usageError(error);

  standin::StandInHost host;
  // The handler below prints every call; a record of them would only grow.
  host.scriptContext().setRecordLimit(0);
  host.appInfo().setVersionText(listen.hostVersion);
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  LineOutput output;
  int32_t calls = 0;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    output.add([&](std::string& line) { appendArguments(line, host, call); });
    if (++calls == listen.count) object->call("stopListening");
    return StatusOk;
  });

  OwnedValue port = host.own(host.makeInteger(listen.port));
  OwnedValue shape = host.own(host.makeInteger(listen.asPropList ? 1 : 0));
  OwnedValue handler = host.own(host.makeSymbol("onOsc"));
  const std::string started =
      host.format(object->call("startListening", {port.get(), shape.get(), handler.get()}).get());
  if (started != "1") {
    std::cerr << "zephyx-host: startListening answered " << started << "\n";
    object->call("forget");
    return ExitFailure;
  }

  const auto start = std::chrono::steady_clock::now();
  int status = ExitSuccess;
  while (!stopRequested) {
    const int32_t before = calls;
    host.pump();
    if (listen.count > 0 && calls >= listen.count) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (listen.timeoutSeconds >= 0 && elapsed.count() >= listen.timeoutSeconds) {
      status = listen.count > 0 ? ExitFailure : ExitSuccess;
      break;
    }
    // While calls keep coming the next pass starts at once; a pause shows
    // the reader everything so far.
    if (calls != before) continue;
    output.flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  output.flush();
  object->call("stopListening");
  object->call("forget");
  return status;
}

}  // namespace zephyx::tool
