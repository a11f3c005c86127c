#include "standin/standin_broker.h"

#include "standin/standin_host.h"

namespace zephyx::standin {

void StandInBroker::addService(IMoaUnknown* service, const HostGuid& id) {
  auto entry = std::make_unique<ServiceEntry>();
  entry->id = id;
  entry->service = service;
  services_.push_back(std::move(entry));
}

void StandInBroker::failService(const HostGuid& id, bool fail) {
  for (auto& entry : services_) {
    if (entry->id == id) entry->failing.store(fail, std::memory_order_release);
  }
}

HostStatus ZX_CALL StandInBroker::queryService(const HostGuid* serviceId, void** out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (serviceId == nullptr) return ResultNoInterface;
  for (auto& entry : services_) {
    if (entry->id != *serviceId) continue;
    if (entry->failing.load(std::memory_order_acquire)) return ResultHostFailure;
    return entry->service->queryInterface(serviceId, out);
  }
  return ResultNoInterface;
}

HostStatus ZX_CALL StandInBroker::createObject(const HostGuid* classId, const HostGuid* interfaceId,
                                               void** out) noexcept {
  host_.hostCalls().hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (classId == nullptr || interfaceId == nullptr) return ResultHostFailure;
  return host_.createObject(*classId, *interfaceId, out);
}

}  // namespace zephyx::standin
