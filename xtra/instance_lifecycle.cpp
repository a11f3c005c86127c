#include "xtra/instance_lifecycle.h"

#include <cstring>
#include <new>

#include "common/interface_ref.h"
#include "common/never_throw.h"
#include "common/type_symbol_table.h"
#include "host/host_ids.h"
#include "host/host_status.h"
#include "receive/ofx_osc_receiver.h"
#include "xtra/listening_control.h"
#include "xtra/peer_conversation.h"
#include "xtra/routing_control.h"
#include "xtra/process_state.h"

namespace zephyx::xtra {

namespace {

// The record holds its services as raw pointers (it must stay trivial), so
// each is taken through a holder and handed over.
template <typename Service>
HostStatus takeService(IHostBroker* broker, const HostGuid& id, Service** field) {
  InterfaceRef<Service> service;
  const HostStatus status = broker->queryService(&id, service.out());
  *field = service.take();
  return status;
}

}  // namespace

HostStatus ZX_CALL createInstance(void* record) noexcept {
  if (record == nullptr) return ResultHostFailure;
  auto& instance = *static_cast<XtraInstance*>(record);
  IHostBroker* broker = instance.header.broker;
  sharedBroker.store(broker, std::memory_order_release);
  if (broker == nullptr) return ResultHostFailure;
  HostStatus status = takeService(broker, hostids::AppInfoService, &instance.hostAppInfo);
  if (status == StatusOk)
    status = takeService(broker, hostids::ValueService, &instance.valueServices);
  if (status == StatusOk)
    status = takeService(broker, hostids::ListService, &instance.listServices);
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

HostStatus ZX_CALL destroyInstance(void* record) noexcept {
  if (record == nullptr) return StatusOk;
  auto& instance = *static_cast<XtraInstance*>(record);
  neverThrow([&] { forgetInstance(instance); });
  releaseAndNull(instance.hostAppInfo);
  releaseAndNull(instance.valueServices);
  releaseAndNull(instance.listServices);
  releaseAndNull(instance.contextSource);
  releaseAndNull(instance.objectServices);
  releaseAndNull(instance.notificationServices);
  return StatusOk;
}

void initialiseInstance(XtraInstance& instance, const MethodCall& call) {
  // A second `new` starts over instead of leaking what the first one made.
  forgetInstance(instance);

  if (instance.contextSource != nullptr &&
      instance.contextSource->getScriptContext(&instance.scriptContext) == StatusOk &&
      instance.scriptContext != nullptr) {
    instance.callGuard =
        queryInterface<IHostCallGuard>(instance.scriptContext, hostids::CallGuard).take();
  }

  // Without a receiver the instance simply never listens.
  instance.receiver =
      new (std::nothrow) receive::ofxOscReceiver(instance.valueServices, sharedBroker);

  instance.listening = false;
  instance.bufferSize = DefaultBufferSize;
  if (call.argCount > 1 && call.args != nullptr && instance.valueServices != nullptr) {
    int32_t kind = KindVoid;
    instance.valueServices->valueType(&call.args[1], &kind);
    if (kind == KindInteger)
      instance.valueServices->valueToInteger(&call.args[1], &instance.bufferSize);
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
  releaseAndNull(instance.callGuard);
  releaseAndNull(instance.scriptContext);
  dropTarget(instance);
  dropRoutes(instance);
  forgetSender(instance);
}

}  // namespace zephyx::xtra
