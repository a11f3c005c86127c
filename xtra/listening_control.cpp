#include "xtra/listening_control.h"

#include "common/interface_ref.h"
#include "common/owned_value.h"
#include "host/host_ids.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/process_state.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

namespace {

// startListening needs port, shape and handler after `me`.
constexpr int32_t StartListeningRequiredArgs = 4;

void setResultText(XtraInstance& instance, MethodCall& call, const char* text) {
  instance.valueServices->stringToValue(text, &call.result);
}

}  // namespace

void keepDelivering(XtraInstance& instance, TStdXtra_IMoaMmXScript* script) {
  NotificationRegistration& registration = instance.held->registration;
  if (registration.registered()) return;
  InterfaceRef<IMoaNotificationClient> client;
  instance.header.broker->createObject(&hostids::ZephyxClass, &hostids::NotificationClient,
                                       client.out());
  registration.begin(instance.notificationServices, std::move(client), script);
}

void stopDeliveringWhenIdle(XtraInstance& instance) {
  InstanceHoldings* held = instance.held.get();
  if (held == nullptr || instance.listening || (held->stream && held->stream->running())) return;
  held->registration.end();
}

void startListeningFromCall(XtraInstance& instance, MethodCall& call,
                            TStdXtra_IMoaMmXScript* script) {
  InstanceHoldings& held = *instance.held;
  if (!held.receiver || instance.valueServices == nullptr) return;
  IHostValues* values = instance.valueServices;
  // Reading past the arguments given would read the host's memory.
  if (call.argCount < StartListeningRequiredArgs || call.args == nullptr) {
    setResultText(instance, call, "missing argument");
    return;
  }
  endListening(instance);

  int32_t port = 0;
  int32_t asPropList = 0;
  values->valueToInteger(&call.args[1], &port);
  values->valueToInteger(&call.args[2], &asPropList);
  values->valueToSymbol(&call.args[3], &instance.handlerSymbol);
  held.asPropList = asPropList != 0;

  held.hasTarget = call.argCount > StartListeningRequiredArgs;
  held.target = held.hasTarget ? OwnedValue::retain(values, call.args[4]) : OwnedValue();

  // The process-wide values are read here, once per start.
  const receive::ReceiveSettings settings{sharedBroker, asPropList != 0, isModernHost,
                                          held.typeSymbols.get()};
  instance.listening = held.receiver->startReceiving(port, settings);
  if (!instance.listening) {
    setResultText(instance, call, held.receiver->lastError());
    return;
  }
  held.groups.joinAllOn(*held.receiver->listeningSocket());
  keepDelivering(instance, script);
  values->integerToValue(1, &call.result);
}

void endListening(XtraInstance& instance) {
  instance.listening = false;
  InstanceHoldings* held = instance.held.get();
  if (held == nullptr) return;
  stopDeliveringWhenIdle(instance);
  if (held->receiver) held->receiver->stopReceiving();
  held->groups.socketClosed();
}

}  // namespace zephyx::xtra
