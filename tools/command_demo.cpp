// zephyx-host demo: one instance sends to itself over loopback and checks
// that every message and bundle marker arrives as it should.
#include <chrono>
#include <iostream>
#include <thread>

#include "host/host_ids.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

constexpr int32_t FirstPort = 5500;
constexpr int32_t LastPort = 5599;
constexpr auto Deadline = std::chrono::seconds(2);

struct Exchange {
  const char* sent;
  std::vector<const char*> received;  // handler calls, in the property-list shape
};

// A plain message, a message with every one of the fourteen type names, and
// a nested bundle.
const std::vector<Exchange>& exchanges() {
  static const std::vector<Exchange> all = {
      {R"(["/zephyx/demo/plain", [440, 0.5, "hello", [1, 2]]])",
       {R"("/zephyx/demo/plain", [#int32: 440, #float32: 0.5, #string: "hello", )"
        R"(#array: [#int32: 1, #int32: 2]])"}},
      {R"(["/zephyx/demo/typed", [#int32: 42, #float32: 0.25, #string: "text", )"
       R"(#blob: <bytes 00 01 fe ff>, #array: [#int32: 1, #string: "two"], #bool: 1, #char: 65, )"
       R"(#double: 3.5, #infinitum: 0, #int64: 1099511627776.0, #midi: 9452671, #nil: 0, )"
       R"(#rgba: 4278190335.0, #time: 1]])",
       {R"("/zephyx/demo/typed", [#int32: 42, #float32: 0.25, #string: "text", )"
        R"(#blob: <bytes 00 01 fe ff>, #array: [#int32: 1, #string: "two"], #bool: 1, #char: 65, )"
        R"(#double: 3.5, #infinitum: 0, #int64: 1099511627776.0, #midi: 9452671.0, #nil: 0, )"
        R"(#rgba: 4278190335.0, #time: 1.0])"}},
      {R"([1, [["/zephyx/demo/first", [1]], [1, [["/zephyx/demo/nested", ["inner"]]]]]])",
       {R"(#bundlestart, 1)", R"("/zephyx/demo/first", [#int32: 1])", R"(#bundlestart, 1)",
        R"("/zephyx/demo/nested", [#string: "inner"])", R"(#bundleend, 0)", R"(#bundleend, 0)"}},
  };
  return all;
}

// Listens on the default port, or the next one that is free.
int32_t startListening(standin::StandInHost& host, standin::LingoObject& object) {
  for (int32_t port = FirstPort; port <= LastPort; ++port) {
    const std::string result =
        callWithLiterals(host, object, "startListening", {std::to_string(port), "1", "#onOsc"});
    if (result == "1") return port;
    if (result != "\"unable to bind udp socket\"") {
      std::cerr << "demo: startListening answered " << result << "\n";
      return 0;
    }
  }
  std::cerr << "demo: no free port from " << FirstPort << " to " << LastPort << "\n";
  return 0;
}

}  // namespace

int runDemo(const Options& options) {
  standin::StandInHost host;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) {
    std::cerr << "demo: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  std::vector<std::string> received;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    received.push_back(formatArguments(host, call));
    std::cout << "received " << received.back() << "\n";
    return StatusOk;
  });

  const int32_t port = startListening(host, *object);
  if (port == 0) {
    object->call("forget");
    return ExitFailure;
  }
  std::cout << "listening on port " << port << " in the property-list shape\n";
  if (port != FirstPort) {
    callWithLiterals(host, *object, "setDestination", {"\"127.0.0.1\"", std::to_string(port)});
  }

  std::vector<std::string> expected;
  bool allSent = true;
  for (const Exchange& exchange : exchanges()) {
    const std::string result = callWithLiterals(host, *object, "send", {exchange.sent});
    std::cout << "sent     " << exchange.sent << " -> " << result << "\n";
    allSent = allSent && result == "1";
    expected.insert(expected.end(), exchange.received.begin(), exchange.received.end());
  }

  const auto end = std::chrono::steady_clock::now() + Deadline;
  while (received.size() < expected.size() && std::chrono::steady_clock::now() < end) {
    host.pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  object->call("stopListening");
  object->call("forget");

  bool complete = allSent && received.size() == expected.size();
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i < received.size() && received[i] == expected[i]) continue;
    complete = false;
    std::cout << "missing  " << expected[i] << "\n";
  }
  for (size_t i = expected.size(); i < received.size(); ++i) {
    complete = false;
    std::cout << "extra    " << received[i] << "\n";
  }
  if (!allSent) std::cout << "demo: a send answered 0\n";
  std::cout << (complete ? "demo: everything arrived as expected\n"
                         : "demo: not everything arrived within two seconds\n");
  return complete ? ExitSuccess : ExitFailure;
}

}  // namespace zephyx::tool
