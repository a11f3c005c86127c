// The host services that the receiving thread builds values with.
#pragma once

#include "common/interface_ref.h"
#include "host/host_broker.h"
#include "host/host_lists.h"
#include "host/host_objects.h"
#include "host/host_values.h"

namespace zephyx::receive {

// Taken from the broker when made, given back when destroyed. Receiving
// thread.
class ReceivingServices {
 public:
  explicit ReceivingServices(IHostBroker* broker);

  // False when a service could not be had; nothing can be built then.
  bool ready() const { return values_ && lists_ && objects_; }

  IHostValues* values() const { return values_.get(); }
  IHostLists* lists() const { return lists_.get(); }
  IHostObjects* objects() const { return objects_.get(); }

 private:
  InterfaceRef<IHostValues> values_;
  InterfaceRef<IHostLists> lists_;
  InterfaceRef<IHostObjects> objects_;
};

}  // namespace zephyx::receive
