#include "receive/receiving_services.h"

#include "host/host_ids.h"

namespace zephyx::receive {
namespace {

template <typename Service>
Service* take(IHostBroker* broker, const HostGuid& id, InterfaceRef<Service>& held) {
  if (broker->queryService(&id, held.out()) != StatusOk) held.reset();
  return held.get();
}

}  // namespace

ReceivingServices::ReceivingServices(IHostBroker* broker, Need need) {
  if (broker == nullptr) return;
  values = take(broker, hostids::ValueService, heldValues_);
  ready_ = values != nullptr;
  if (ready_ && need == ValuesAndContainers) {
    lists = take(broker, hostids::ListService, heldLists_);
    objects = lists != nullptr ? take(broker, hostids::ObjectService, heldObjects_) : nullptr;
    ready_ = lists != nullptr && objects != nullptr;
  }
}

ReceivingServices::~ReceivingServices() = default;

}  // namespace zephyx::receive
