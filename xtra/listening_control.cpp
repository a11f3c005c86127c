#include "xtra/listening_control.h"

#include "host/host_ids.h"
#include "host/owned_value.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/process_state.h"
#include "xtra/scripting_object.h"

namespace {

// startListening needs port, shape and handler after `me`.
constexpr int32_t StartListeningRequiredArgs = 4;

void setResultText(XtraInstance& instance, MethodCall& call, const char* text) {
  instance.valueServices->stringToValue(text, &call.result);
}

void registerClient(XtraInstance& instance, TStdXtra_IMoaMmXScript* script) {
  if (instance.notificationServices == nullptr) return;
  IMoaNotificationClient* client = nullptr;
  instance.header.broker->createObject(&hostids::ZephyxClass, &hostids::NotificationClient,
                                       reinterpret_cast<void**>(&client));
  if (client == nullptr) return;
  IMoaMmXScript* refcon = script;
  if (instance.notificationServices->registerNotificationClient(client, refcon) != StatusOk) {
    client->release();
    return;
  }
  refcon->addRef();
  instance.notificationClient = client;
  instance.notificationRefcon = refcon;
}

}  // namespace

void endRegistration(XtraInstance& instance) {
  IMoaNotificationClient* client = instance.notificationClient;
  IMoaMmXScript* refcon = instance.notificationRefcon;
  instance.notificationClient = nullptr;
  instance.notificationRefcon = nullptr;
  if (client != nullptr) {
    if (instance.notificationServices != nullptr) {
      instance.notificationServices->unregisterNotificationClient(client);
    }
    client->release();
  }
  if (refcon != nullptr) refcon->release();
}

void dropTarget(XtraInstance& instance) {
  if (!instance.hasTarget) return;
  instance.hasTarget = false;
  const HostValue target = instance.target;
  instance.target = VoidValue;
  if (instance.valueServices != nullptr) instance.valueServices->releaseValue(&target);
}

void startListening(XtraInstance& instance, MethodCall& call, TStdXtra_IMoaMmXScript* script) {
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

  instance.listening = instance.receiver->startReceiving(port, asPropList != 0, isModernHost,
                                                         instance.typeSymbols);
  if (!instance.listening) {
    setResultText(instance, call, instance.receiver->lastError());
    return;
  }
  registerClient(instance, script);
  values->integerToValue(1, &call.result);
}

void stopListening(XtraInstance& instance) {
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
  script->addRef();
  client->addRef();
  const bool hasTarget = instance.hasTarget;
  OwnedValue target = hasTarget ? OwnedValue::retain(values, instance.target) : OwnedValue();
  IHostCallGuard* guard = instance.callGuard;
  if (guard != nullptr) guard->addRef();

  CallGuardState state{};
  if (guard != nullptr) guard->saveCallContext(&state);

  HostValue args[3] = {target.get(), VoidValue, VoidValue};
  const int32_t first = hasTarget ? 1 : 0;
  const int32_t count = hasTarget ? 3 : 2;
  // Items that arrive during the pass wait for the next one, so a flood
  // cannot keep the host thread here.
  size_t budget = instance.receiver != nullptr ? instance.receiver->queuedCount() : 0;
  for (; budget > 0; --budget) {
    ofxOscReceiver* receiver = instance.receiver;  // a handler may forget the instance
    if (receiver == nullptr) break;
    std::unique_ptr<ReceivedItem> item = receiver->popItem();
    if (!item) break;
    args[first] = item->head;
    args[first + 1] = item->body;
    if (instance.scriptContext != nullptr) {
      instance.scriptContext->callHandler(instance.handlerSymbol, count, args, nullptr);
    }
  }

  if (guard != nullptr) {
    guard->restoreCallContext(&state);
    guard->release();
  }
  target.reset();
  client->release();
  script->release();
}
