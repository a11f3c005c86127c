// zephyx-host listen: prints every handler call, one line each.
#include <csignal>
#include <chrono>
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

}  // namespace

int runListen(const Options& options) {
  ListenOptions listen;
  std::string error;
  if (!parseListenOptions(options.arguments, &listen, &error)) return usageError(error);

  standin::StandInHost host;
  host.appInfo().setVersionText(listen.hostVersion);
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  std::string pending;
  int32_t calls = 0;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    pending += formatArguments(host, call) + "\n";
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

  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  const auto start = std::chrono::steady_clock::now();
  int status = ExitSuccess;
  while (true) {
    if (stopRequested) break;
    host.pump();
    std::cout << pending << std::flush;
    pending.clear();
    if (listen.count > 0 && calls >= listen.count) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (listen.timeoutSeconds >= 0 && elapsed.count() >= listen.timeoutSeconds) {
      status = listen.count > 0 ? ExitFailure : ExitSuccess;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  object->call("stopListening");
  object->call("forget");
  return status;
}

}  // namespace zephyx::tool
