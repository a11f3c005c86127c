// zephyx-host stream: one object's OSC stream over TCP. It connects, sends
// each Lingo literal with sendStream once the stream is open, and prints
// each handler call, the stream's markers included, as listen prints them.
#include <iostream>
#include <optional>

#include "host/host_ids.h"
#include "tools/command_arguments.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

// Past the library's connect timeout of 5 s, so that an attempt that times
// out is shown rather than cut short.
constexpr double DefaultConnectSeconds = 6.0;
// Long enough for a peer on the network to answer.
constexpr double DefaultAnswerSeconds = 1.0;

struct StreamOptions {
  // Given but empty is an error, not a default.
  std::optional<std::string> destination;
  std::optional<std::string> framing;
  std::optional<std::string> bufferSize;
  std::optional<std::string> timeout;
  std::optional<std::string> count;
  bool showSender = false;
  std::vector<std::string> texts;
};

bool parseStreamOptions(const std::vector<std::string>& arguments, StreamOptions* options,
                        std::string* error) {
  if (!parseLiteralOptions(arguments,
                           {{"--to", &options->destination},
                            {"--framing", &options->framing},
                            {"--buffer-size", &options->bufferSize},
                            {"--timeout", &options->timeout},
                            {"--count", &options->count}},
                           {{"--show-sender", &options->showSender}}, "stream", &options->texts,
                           error)) {
    return false;
  }
  if (!options->destination) {
    *error = "stream needs --to HOST:PORT";
    return false;
  }
  if (!options->framing || (*options->framing != "length" && *options->framing != "slip")) {
    *error = "stream needs --framing length or --framing slip";
    return false;
  }
  if (options->texts.empty()) {
    *error = "stream needs at least one literal";
    return false;
  }
  return true;
}

}  // namespace

int runStream(const Options& options) {
  catchStopSignals();
  StreamOptions stream;
  std::string error;
  if (!parseStreamOptions(options.arguments, &stream, &error)) return usageError(error);
  std::string peerHost;
  int32_t peerPort = 0;
  if (!parseHostPort(*stream.destination, &peerHost, &peerPort)) {
    return usageError("--to needs HOST:PORT");
  }
  int32_t size = 0;
  if (stream.bufferSize && !parseInteger(*stream.bufferSize, &size)) {
    return usageError("--buffer-size needs an integer");
  }
  double connectSeconds = DefaultConnectSeconds;
  double answerSeconds = DefaultAnswerSeconds;
  if (stream.timeout && !parseSeconds(*stream.timeout, &answerSeconds)) {
    return usageError("bad value for --timeout: " + *stream.timeout);
  }
  if (stream.timeout) connectSeconds = answerSeconds;
  int32_t count = 0;
  if (stream.count && !(parseInteger(*stream.count, &count) && count > 0)) {
    return usageError("bad value for --count: " + *stream.count);
  }

  standin::StandInHost host;
  host.scriptContext().setRecordLimit(0);
  // Every literal is read before anything is connected or sent.
  Literals literals(host);
  if (!literals.parseAll(stream.texts)) return ExitUsage;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;

  std::vector<HostValue> newArguments;
  OwnedValue sizeValue;
  if (stream.bufferSize) {
    sizeValue = host.own(host.makeInteger(size));
    newArguments.push_back(sizeValue.get());
  }
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass, newArguments);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  LineOutput output;
  int64_t calls = 0;
  bool opened = false;
  // Counted once the stream is open, so that --count counts what comes back.
  int32_t answers = 0;
  host.scriptContext().setHandler("onStream", [&](const standin::HandlerCall& call) {
    ++calls;
    const bool opening = !opened && call.count > 0 && host.format(call.args[0]) == "#streamopen";
    if (!opening && opened && count > 0 && answers >= count) return StatusOk;
    printCall(output, host, *object, call, stream.showSender);
    if (opening) {
      opened = true;
    } else if (opened) {
      ++answers;
    }
    return StatusOk;
  });

  OwnedValue hostValue = host.own(host.makeString(peerHost));
  OwnedValue portValue = host.own(host.makeInteger(peerPort));
  // The option is checked above, so that the symbol is its very text.
  OwnedValue framing = host.own(host.makeSymbol(*stream.framing));
  OwnedValue handler = host.own(host.makeSymbol("onStream"));
  const OwnedValue answer = object->call(
      "connectStream", {hostValue.get(), portValue.get(), framing.get(), handler.get()});
  const std::string connected = host.format(answer.get());
  if (connected != "1") {
    std::cerr << "zephyx-host: connectStream to " << *stream.destination << " answered "
              << connected << "\n";
    object->call("forget");
    return ExitFailure;
  }

  runHostLoop(host, output, calls, connectSeconds, [&] { return opened || stopRequested(); });
  if (!opened) {
    std::cerr << "zephyx-host: no connection to " << *stream.destination << " within "
              << connectSeconds << " s\n";
    object->call("forget");
    return ExitFailure;
  }

  bool allSent = true;
  for (const OwnedValue& literal : literals.values()) {
    const std::string result = host.format(object->call("sendStream", {literal.get()}).get());
    std::cout << result << "\n";
    allSent = allSent && result == "1";
  }
  std::cout.flush();
  const bool counted = runHostLoop(host, output, calls, answerSeconds, [&] {
    return stopRequested() || (count > 0 && answers >= count);
  });
  const bool allAnswered = count == 0 || (counted && answers >= count);
  if (!allAnswered) {
    std::cerr << "zephyx-host: " << answers << " of " << count << " handler calls within "
              << answerSeconds << " s\n";
  }
  object->call("disconnectStream");
  object->call("forget");
  return allSent && allAnswered ? ExitSuccess : ExitFailure;
}

}  // namespace zephyx::tool
