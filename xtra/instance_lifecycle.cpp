#include "xtra/instance_lifecycle.h"

#include <cstring>
#include <new>

#include "host/host_ids.h"
#include "host/host_status.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/listening_control.h"
#include "xtra/process_state.h"
#include "xtra/type_symbol_table.h"

namespace {

template <typename Service>
HostStatus takeService(IHostBroker* broker, const HostGuid& id, Service** field) {
  return broker->queryService(&id, reinterpret_cast<void**>(field));
}

template <typename Interface>
void releaseInterface(Interface*& field) {
  Interface* held = field;
  field = nullptr;
  if (held != nullptr) held->release();
}

}  // namespace

HostStatus ZX_CALL createInstance(void* record) {
  if (record == nullptr) return ResultHostFailure;
  auto& instance = *static_cast<XtraInstance*>(record);
  IHostBroker* broker = instance.header.broker;
  sharedBroker.store(broker, std::memory_order_release);
  if (broker == nullptr) return ResultHostFailure;
  HostStatus status = takeService(broker, hostids::AppInfoService, &instance.hostAppInfo);
  if (status == StatusOk) status = takeService(broker, hostids::ValueService, &instance.valueServices);
  if (status == StatusOk) status = takeService(broker, hostids::ListService, &instance.listServices);
  if (status == StatusOk) {
    status = takeService(broker, hostids::ScriptContextSourceService, &instance.contextSource);
  }
  if (status == StatusOk) {
    status = takeService(broker, hostids::ObjectService, &instance.objectServices);
  }
  if (status == StatusOk) {
    status = takeService(broker, hostids::NotificationService, &instance.notificationServices);
  }
  return status;
}

HostStatus ZX_CALL destroyInstance(void* record) {
  if (record == nullptr) return StatusOk;
  auto& instance = *static_cast<XtraInstance*>(record);
  try {
    forgetInstance(instance);
  } catch (...) {
  }
  releaseInterface(instance.hostAppInfo);
  releaseInterface(instance.valueServices);
  releaseInterface(instance.listServices);
  releaseInterface(instance.contextSource);
  releaseInterface(instance.objectServices);
  releaseInterface(instance.notificationServices);
  return StatusOk;
}

void initialiseInstance(XtraInstance& instance, const MethodCall& call) {
  // A second `new` starts over instead of leaking what the first one made.
  forgetInstance(instance);

  if (instance.contextSource != nullptr &&
      instance.contextSource->getScriptContext(&instance.scriptContext) == StatusOk &&
      instance.scriptContext != nullptr) {
    instance.scriptContext->queryInterface(&hostids::CallGuard,
                                           reinterpret_cast<void**>(&instance.callGuard));
  }

  // Without a receiver the instance simply never listens.
  instance.receiver = new (std::nothrow) ofxOscReceiver(instance.valueServices);

  instance.listening = false;
  instance.bufferSize = DefaultBufferSize;
  if (call.argCount > 1 && call.args != nullptr && instance.valueServices != nullptr) {
    int32_t kind = KindVoid;
    instance.valueServices->valueType(&call.args[1], &kind);
    if (kind == KindInteger) instance.valueServices->valueToInteger(&call.args[1], &instance.bufferSize);
  }

  instance.destinationPort = DefaultDestinationPort;
  std::memset(instance.destinationHost, 0, sizeof instance.destinationHost);
  std::memcpy(instance.destinationHost, DefaultDestinationHost, sizeof DefaultDestinationHost);

  if (instance.valueServices != nullptr) {
    instance.typeSymbols = makeTypeSymbolTable(instance.valueServices);
  }
}

void forgetInstance(XtraInstance& instance) {
  if (instance.listening) {
    instance.listening = false;
    endRegistration(instance);
  }
  if (instance.receiver != nullptr) {
    // Stopped before the table goes: the receiving thread reads it.
    instance.receiver->stopReceiving();
    delete instance.receiver;
    instance.receiver = nullptr;
  }
  delete instance.typeSymbols;
  instance.typeSymbols = nullptr;
  releaseInterface(instance.callGuard);
  releaseInterface(instance.scriptContext);
  dropTarget(instance);
}
