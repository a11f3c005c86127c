// zephyx-host listen: prints every handler call, one line each.
#include <iostream>
#include <optional>

#include "host/host_ids.h"
#include "tools/command_arguments.h"
#include "tools/commands.h"
#include "tools/tool_host.h"

namespace zephyx::tool {
namespace {

struct ListenOptions {
  int32_t port = 5500;
  bool asPropList = false;
  int32_t count = 0;  // 0: no limit
  double timeoutSeconds = -1;
  std::string hostVersion = "12.0";
  bool showSender = false;
  std::optional<std::string> reply;
  std::vector<std::string> routes;
  std::vector<std::string> joins;  // GROUP or GROUP@INTERFACE
};

bool parseListenOptions(const std::vector<std::string>& arguments, ListenOptions* options,
                        std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--proplist" || name == "--show-sender") {
      (name == "--proplist" ? options->asPropList : options->showSender) = true;
      continue;
    }
    if (name != "--port" && name != "--count" && name != "--timeout" && name != "--host-version" &&
        name != "--reply" && name != "--route" && name != "--join") {
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
    if (name == "--reply") options->reply = value;
    if (name == "--route") options->routes.push_back(value);
    if (name == "--join") options->joins.push_back(value);
    if (!ok) {
      *error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  return true;
}

}  // namespace

int runListen(const Options& options) {
  catchStopSignals();
  ListenOptions listen;
  std::string error;
  if (!parseListenOptions(options.arguments, &listen, &error)) return usageError(error);

  standin::StandInHost host;
  // The handlers below print every call; a record of them would only grow.
  host.scriptContext().setRecordLimit(0);
  host.appInfo().setVersionText(listen.hostVersion);
  Literals reply(host);
  if (listen.reply && !reply.parseAll({*listen.reply})) return ExitUsage;
  if (!loadLibrary(host, options.libraryPath)) return ExitFailure;
  auto object = standin::LingoObject::create(host, hostids::ZephyxClass);
  if (!object) {
    std::cerr << "zephyx-host: cannot create a Zephyx object\n";
    return ExitFailure;
  }

  LineOutput output;
  int64_t calls = 0;
  int32_t printed = 0;
  auto answer = [&](const standin::HandlerCall& call) {
    if (!listen.reply || !isMessage(host, call)) return;
    const OwnedValue sent = object->call("reply", {reply.values().front().get()});
    if (host.format(sent.get()) != "1") std::cerr << "zephyx-host: reply answered 0\n";
  };
  auto print = [&](const standin::HandlerCall& call) {
    printCall(output, host, *object, call, listen.showSender);
    if (++printed == listen.count) object->call("stopListening");
  };
  // With routes, what they take is printed; what none takes and the bundle
  // markers reach the listening handler, which only answers.
  host.scriptContext().setHandler("onOsc", [&](const standin::HandlerCall& call) {
    ++calls;
    answer(call);
    if (listen.routes.empty()) print(call);
    return StatusOk;
  });
  host.scriptContext().setHandler("onRoute", [&](const standin::HandlerCall& call) {
    ++calls;
    answer(call);
    print(call);
    return StatusOk;
  });
  OwnedValue routeHandler = host.own(host.makeSymbol("onRoute"));
  for (const std::string& pattern : listen.routes) {
    OwnedValue text = host.own(host.makeString(pattern));
    if (host.format(object->call("addRoute", {text.get(), routeHandler.get()}).get()) != "1") {
      object->call("forget");
      return usageError("malformed route pattern " + pattern);
    }
  }

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
  // Only split here: the library checks both addresses, and its answer is
  // reported as a script would get it.
  for (const std::string& join : listen.joins) {
    const size_t at = join.find('@');
    OwnedValue group = host.own(host.makeString(join.substr(0, at)));
    OwnedValue interfaceAddress;
    std::vector<HostValue> joinArguments = {group.get()};
    if (at != std::string::npos) {
      interfaceAddress = host.own(host.makeString(join.substr(at + 1)));
      joinArguments.push_back(interfaceAddress.get());
    }
    const std::string joined = host.format(object->call("joinGroup", joinArguments).get());
    if (joined != "1") {
      std::cerr << "zephyx-host: joinGroup " << join << " answered " << joined << "\n";
      object->call("forget");
      return ExitFailure;
    }
  }

  const bool ended = runHostLoop(host, output, calls, listen.timeoutSeconds, [&] {
    return stopRequested() || (listen.count > 0 && printed >= listen.count);
  });
  object->call("stopListening");
  object->call("forget");
  // A timeout with calls still counted on is a failure.
  return ended || listen.count == 0 ? ExitSuccess : ExitFailure;
}

}  // namespace zephyx::tool
