// zephyx-host send: one `send` per Lingo literal, or with --from-port one
// `sendFromListener` each from a listening object, whose handler calls are
// printed as listen prints them.
#include <iostream>
#include <optional>

#include "host/host_ids.h"
#include "tools/command_arguments.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

// Long enough for a peer on the network to answer.
constexpr double DefaultAnswerSeconds = 1.0;

struct SendOptions {
  // Given but empty is an error, not the default.
  std::optional<std::string> destination;
  std::optional<std::string> bufferSize;
  std::optional<std::string> fromPort;
  std::optional<std::string> timeout;
  std::optional<std::string> count;
  std::optional<std::string> ttl;
  std::optional<std::string> interfaceAddress;
  bool showSender = false;
  std::vector<std::string> texts;
};

bool parseSendOptions(const std::vector<std::string>& arguments, SendOptions* options,
                      std::string* error) {
  if (!parseLiteralOptions(arguments,
                           {{"--to", &options->destination},
                            {"--buffer-size", &options->bufferSize},
                            {"--from-port", &options->fromPort},
                            {"--timeout", &options->timeout},
                            {"--count", &options->count},
                            {"--ttl", &options->ttl},
                            {"--interface", &options->interfaceAddress}},
                           {{"--show-sender", &options->showSender}}, nullptr, &options->texts,
                           error)) {
    return false;
  }
  if (options->texts.empty()) {
    *error = "send needs at least one literal";
    return false;
  }
  if (!options->fromPort && (options->timeout || options->count || options->showSender)) {
    *error = "--timeout, --count and --show-sender need --from-port";
    return false;
  }
  return true;
}

}  // namespace

int runSend(const Options& options) {
  SendOptions send;
  std::string error;
  if (!parseSendOptions(options.arguments, &send, &error)) return usageError(error);

  int32_t size = 0;
  if (send.bufferSize && !parseInteger(*send.bufferSize, &size)) {
    return usageError("--buffer-size needs an integer");
  }
  std::string destinationHost;
  int32_t destinationPort = 0;
  if (send.destination && !parseHostPort(*send.destination, &destinationHost, &destinationPort)) {
    return usageError("--to needs HOST:PORT");
  }
  int32_t fromPort = 0;
  if (send.fromPort && !parseInteger(*send.fromPort, &fromPort)) {
    return usageError("--from-port needs an integer");
  }
  double answerSeconds = DefaultAnswerSeconds;
  if (send.timeout && !parseSeconds(*send.timeout, &answerSeconds)) {
    return usageError("bad value for --timeout: " + *send.timeout);
  }
  int32_t count = 0;
  if (send.count && !(parseInteger(*send.count, &count) && count > 0)) {
    return usageError("bad value for --count: " + *send.count);
  }
  // The range is the library's to check, as setMulticast's answer.
  int32_t ttl = 1;
  if (send.ttl && !parseInteger(*send.ttl, &ttl)) return usageError("--ttl needs an integer");

  standin::StandInHost host;
  host.scriptContext().setRecordLimit(0);
  // Every literal is read before anything is created or sent.
  Literals literals(host);
  if (!literals.parseAll(send.texts)) return ExitUsage;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;

  std::vector<HostValue> newArguments;
  OwnedValue sizeValue;
  if (send.bufferSize) {
    sizeValue = host.own(host.makeInteger(size));
    newArguments.push_back(sizeValue.get());
  }
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass, newArguments);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }
  if (send.destination) {
    OwnedValue hostValue = host.own(host.makeString(destinationHost));
    OwnedValue portValue = host.own(host.makeInteger(destinationPort));
    object->call("setDestination", {hostValue.get(), portValue.get()});
  }
  if (send.ttl || send.interfaceAddress) {
    OwnedValue ttlValue = host.own(host.makeInteger(ttl));
    OwnedValue interfaceValue;
    std::vector<HostValue> multicastArguments = {ttlValue.get()};
    if (send.interfaceAddress) {
      interfaceValue = host.own(host.makeString(*send.interfaceAddress));
      multicastArguments.push_back(interfaceValue.get());
    }
    if (host.format(object->call("setMulticast", multicastArguments).get()) != "1") {
      object->call("forget");
      return usageError(
          "setMulticast answered 0 for" + (send.ttl ? " --ttl " + *send.ttl : std::string()) +
          (send.interfaceAddress ? " --interface " + *send.interfaceAddress : std::string()));
    }
  }

  LineOutput output;
  int64_t calls = 0;
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    printCall(output, host, *object, call, send.showSender);
    if (++calls == count) object->call("stopListening");
    return StatusOk;
  });
  if (send.fromPort) {
    OwnedValue port = host.own(host.makeInteger(fromPort));
    OwnedValue shape = host.own(host.makeInteger(0));
    OwnedValue handler = host.own(host.makeSymbol("onOsc"));
    const std::string started =
        host.format(object->call("startListening", {port.get(), shape.get(), handler.get()}).get());
    if (started != "1") {
      std::cerr << "zephyx-host: startListening on port " << fromPort << " answered " << started
                << "\n";
      object->call("forget");
      return ExitFailure;
    }
  }

  const char* method = send.fromPort ? "sendFromListener" : "send";
  bool allSent = true;
  for (const OwnedValue& literal : literals.values()) {
    const std::string result = host.format(object->call(method, {literal.get()}).get());
    std::cout << result << "\n";
    allSent = allSent && result == "1";
  }
  bool allAnswered = true;
  if (send.fromPort) {
    std::cout.flush();
    allAnswered = runHostLoop(host, output, calls, answerSeconds,
                              [&] { return count > 0 && calls >= count; }) ||
                  count == 0;
    if (!allAnswered) {
      std::cerr << "zephyx-host: " << calls << " of " << count << " handler calls within "
                << answerSeconds << " s\n";
    }
    object->call("stopListening");
  }
  object->call("forget");
  return allSent && allAnswered ? ExitSuccess : ExitFailure;
}

}  // namespace zephyx::tool
