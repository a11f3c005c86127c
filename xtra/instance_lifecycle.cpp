#include "xtra/instance_lifecycle.h"

#include <cstring>

#include "common/interface_ref.h"
#include "common/never_throw.h"
#include "common/type_symbol_table.h"
#include "host/host_ids.h"
#include "host/host_status.h"
#include "xtra/listening_control.h"
#include "xtra/stream_control.h"
#include "xtra/process_state.h"

namespace zephyx::xtra {

namespace {

// The record holds its services as plain pointers (it must stay trivial),
// so each is taken through a holder and handed over.
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
  // Built first and empty, so that destroyInstance finds it whatever fails below.
  instance.held.make();
  IHostBroker* broker = instance.header.broker;
  sharedBroker = broker;
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
  // What `new` made goes before the services it was made with.
  neverThrow([&] {
    endListening(instance);
    instance.held.end();
  });
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
  InstanceHoldings& held = *instance.held;

  if (instance.contextSource != nullptr &&
      instance.contextSource->getScriptContext(held.scriptContext.slot()) == StatusOk &&
      held.scriptContext) {
    held.callGuard = queryInterface<IHostCallGuard>(held.scriptContext.get(), hostids::CallGuard);
  } else {
    held.scriptContext.reset();
  }

  // Without a receiver the instance simply never listens.
  if (instance.valueServices != nullptr) {
    held.receiver = neverThrow(std::unique_ptr<receive::ofxOscReceiver>(), [&] {
      return std::make_unique<receive::ofxOscReceiver>(instance.valueServices);
    });
  }

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
    held.typeSymbols.reset(makeTypeSymbolTable(instance.valueServices));
  }
}

void forgetInstance(XtraInstance& instance) {
  endListening(instance);
  endStream(instance);
  instance.held.reset();
}

}  // namespace zephyx::xtra
