#include "receive/receiving_services.h"

#include "host/host_ids.h"

namespace {

template <typename Service>
bool take(IHostBroker* broker, const HostGuid& id, Service** out) {
  return broker->queryService(&id, reinterpret_cast<void**>(out)) == StatusOk && *out != nullptr;
}

template <typename Service>
void giveBack(Service*& service) {
  if (service != nullptr) service->release();
  service = nullptr;
}

}  // namespace

ReceivingServices::ReceivingServices(IHostBroker* broker, Need need) {
  if (broker == nullptr) return;
  ready_ = take(broker, hostids::ValueService, &values);
  if (ready_ && need == ValuesAndContainers) {
    ready_ = take(broker, hostids::ListService, &lists) &&
             take(broker, hostids::ObjectService, &objects);
  }
}

ReceivingServices::~ReceivingServices() {
  giveBack(objects);
  giveBack(lists);
  giveBack(values);
}
