#include "xtra/listening_control.h"

#include <optional>
#include <utility>

#include "host/host_ids.h"
#include "common/interface_ref.h"
#include "common/owned_value.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/peer_conversation.h"
#include "xtra/process_state.h"
#include "xtra/routing_control.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

namespace {

// startListening needs port, shape and handler after `me`.
constexpr int32_t StartListeningRequiredArgs = 4;

void setResultText(XtraInstance& instance, MethodCall& call, const char* text) {
  instance.valueServices->stringToValue(text, &call.result);
}

void registerClient(XtraInstance& instance, TStdXtra_IMoaMmXScript* script) {
  if (instance.notificationServices == nullptr) return;
  InterfaceRef<IMoaNotificationClient> client;
  instance.header.broker->createObject(&hostids::ZephyxClass, &hostids::NotificationClient,
                                       client.out());
  if (!client) return;
  IMoaMmXScript* refcon = script;
  if (instance.notificationServices->registerNotificationClient(client.get(), refcon) != StatusOk) {
    return;
  }
  instance.notificationClient = client.take();
  instance.notificationRefcon = InterfaceRef<IMoaMmXScript>::retain(refcon).take();
}

}  // namespace

void endRegistration(XtraInstance& instance) {
  // Taken out of the record first: the releases may end the instance.
  auto client = InterfaceRef<IMoaNotificationClient>::adopt(
      std::exchange(instance.notificationClient, nullptr));
  auto refcon =
      InterfaceRef<IMoaMmXScript>::adopt(std::exchange(instance.notificationRefcon, nullptr));
  if (client && instance.notificationServices != nullptr) {
    instance.notificationServices->unregisterNotificationClient(client.get());
  }
  client.reset();
  refcon.reset();
}

void dropTarget(XtraInstance& instance) {
  if (!instance.hasTarget) return;
  instance.hasTarget = false;
  releaseNow(instance.valueServices, std::exchange(instance.target, VoidValue));
}

void startListeningFromCall(XtraInstance& instance, MethodCall& call,
                            TStdXtra_IMoaMmXScript* script) {
  if (instance.receiver == nullptr || instance.valueServices == nullptr) return;
  IHostValues* values = instance.valueServices;
  // Reading past the arguments given would read the host's memory.
  if (call.argCount < StartListeningRequiredArgs || call.args == nullptr) {
    setResultText(instance, call, "missing argument");
    return;
  }

  if (instance.listening) {
    instance.listening = false;
    endRegistration(instance);
  }

  int32_t port = 0;
  int32_t asPropList = 0;
  values->valueToInteger(&call.args[1], &port);
  values->valueToInteger(&call.args[2], &asPropList);
  values->valueToSymbol(&call.args[3], &instance.handlerSymbol);

  dropTarget(instance);
  if (call.argCount > StartListeningRequiredArgs) {
    instance.target = call.args[4];
    values->retainValue(&instance.target);
    instance.hasTarget = true;
  }

  instance.listening =
      instance.receiver->startReceiving(port, asPropList != 0, isModernHost, instance.typeSymbols);
  if (!instance.listening) {
    setResultText(instance, call, instance.receiver->lastError());
    return;
  }
  registerClient(instance, script);
  values->integerToValue(1, &call.result);
}

void endListening(XtraInstance& instance) {
  if (instance.listening) {
    instance.listening = false;
    endRegistration(instance);
  }
  if (instance.receiver != nullptr) instance.receiver->stopReceiving();
}

void deliverQueuedItems(TStdXtra_IMoaMmXScript* script, IMoaNotificationClient* client) {
  XtraInstance& instance = *script->owner;
  IHostValues* values = instance.valueServices;
  if (values == nullptr) return;

  // Released in reverse order when the pass ends; the scripting object
  // last, since it keeps the instance itself alive.
  const auto scriptRef = InterfaceRef<TStdXtra_IMoaMmXScript>::retain(script);
  const auto clientRef = InterfaceRef<IMoaNotificationClient>::retain(client);
  const bool hasTarget = instance.hasTarget;
  const OwnedValue target = hasTarget ? OwnedValue::retain(values, instance.target) : OwnedValue();
  const auto guard = InterfaceRef<IHostCallGuard>::retain(instance.callGuard);

  CallGuardState state{};
  if (guard) guard->saveCallContext(&state);

  // Items that arrive during the pass wait for the next one, so a flood
  // cannot keep the host thread here.
  size_t budget = instance.receiver != nullptr ? instance.receiver->queuedCount() : 0;
  for (; budget > 0; --budget) {
    receive::ofxOscReceiver* receiver = instance.receiver;  // a handler may forget the instance
    if (receiver == nullptr) break;
    const std::optional<receive::ReceivedItem> item = receiver->popItem();
    if (!item) break;
    noteSender(instance, item->sender);
    const ChosenHandler route = routeFor(instance, item->head.get());
    const bool withTarget = route.routed ? route.hasTarget : hasTarget;
    const HostValue args[3] = {route.routed ? route.target.get() : target.get(), item->head.get(),
                               item->body.get()};
    const HostSymbol handler = route.routed ? route.handler : instance.handlerSymbol;
    if (instance.scriptContext != nullptr) {
      instance.scriptContext->callHandler(handler, withTarget ? 3 : 2, withTarget ? args : args + 1,
                                          nullptr);
    }
  }

  if (guard) guard->restoreCallContext(&state);
}

}  // namespace zephyx::xtra
