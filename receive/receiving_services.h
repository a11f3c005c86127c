// The host services that the receiving thread takes for one message or bundle.
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
  enum Need { ValuesOnly, ValuesAndContainers };

  ReceivingServices(IHostBroker* broker, Need need);
  ~ReceivingServices();
  ReceivingServices(const ReceivingServices&) = delete;
  ReceivingServices& operator=(const ReceivingServices&) = delete;

  // False when a service could not be had; nothing can be built then.
  bool ready() const { return ready_; }

  IHostValues* values = nullptr;
  IHostLists* lists = nullptr;
  IHostObjects* objects = nullptr;

 private:
  InterfaceRef<IHostValues> heldValues_;
  InterfaceRef<IHostLists> heldLists_;
  InterfaceRef<IHostObjects> heldObjects_;
  bool ready_ = false;
};

}  // namespace zephyx::receive
