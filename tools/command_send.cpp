// zephyx-host send: one `send` per Lingo literal.
#include <iostream>
#include <optional>

#include "host/host_ids.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {

int runSend(const Options& options) {
  // Given but empty is an error, not the default.
  std::optional<std::string> destination;
  std::optional<std::string> bufferSize;
  std::vector<std::string> texts;
  const std::vector<std::string>& arguments = options.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--to" || name == "--buffer-size") {
      if (i + 1 >= arguments.size()) return usageError(name + " needs a value");
      std::optional<std::string>& option = name == "--to" ? destination : bufferSize;
      option = arguments[++i];
      continue;
    }
    texts.push_back(arguments[i]);
  }
  if (texts.empty()) return usageError("send needs at least one literal");

  int32_t size = 0;
  if (bufferSize && !parseInteger(*bufferSize, &size)) {
    return usageError("--buffer-size needs an integer");
  }
  std::string destinationHost;
  int32_t destinationPort = 0;
  if (destination) {
    const size_t colon = destination->rfind(':');
    if (colon == std::string::npos ||
        !parseInteger(destination->substr(colon + 1), &destinationPort)) {
      return usageError("--to needs HOST:PORT");
    }
    destinationHost = destination->substr(0, colon);
  }

  standin::StandInHost host;
  // Every literal is read before anything is created or sent.
  Literals literals(host);
  if (!literals.parseAll(texts)) return ExitUsage;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;

  std::vector<HostValue> newArguments;
  OwnedValue sizeValue;
  if (bufferSize) {
    sizeValue = host.own(host.makeInteger(size));
    newArguments.push_back(sizeValue.get());
  }
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass, newArguments);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }
  if (destination) {
    OwnedValue hostValue = host.own(host.makeString(destinationHost));
    OwnedValue portValue = host.own(host.makeInteger(destinationPort));
    object->call("setDestination", {hostValue.get(), portValue.get()});
  }

  bool allSent = true;
  for (const OwnedValue& literal : literals.values()) {
    const std::string result = host.format(object->call("send", {literal.get()}).get());
    std::cout << result << "\n";
    allSent = allSent && result == "1";
  }
  object->call("forget");
  return allSent ? ExitSuccess : ExitFailure;
}

}  // namespace zephyx::tool
