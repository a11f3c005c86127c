// The host services that the receiving thread takes for one message or bundle.
#pragma once

#include "host/host_broker.h"
#include "host/host_lists.h"
#include "host/host_objects.h"
#include "host/host_values.h"

// Taken from the broker when made, given back when destroyed. Receiving
// thread; the broker is the process-wide sharedBroker.
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
  bool ready_ = false;
};
