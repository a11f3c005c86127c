#include "receive/receiving_services.h"

#include "host/host_ids.h"

namespace zephyx::receive {
namespace {

template <typename Service>
InterfaceRef<Service> take(IHostBroker* broker, const HostGuid& id) {
  InterfaceRef<Service> service;
  if (broker->queryService(&id, service.out()) != StatusOk) service.reset();
  return service;
}

}  // namespace

ReceivingServices::ReceivingServices(IHostBroker* broker) {
  if (broker == nullptr) return;
  values_ = take<IHostValues>(broker, hostids::ValueService);
  if (!values_) return;
  lists_ = take<IHostLists>(broker, hostids::ListService);
  if (lists_) objects_ = take<IHostObjects>(broker, hostids::ObjectService);
}

}  // namespace zephyx::receive
