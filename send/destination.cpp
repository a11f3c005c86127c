#include "send/destination.h"

void setDestination(XtraInstance& instance, const MethodCall& call) {
  IHostValues* values = instance.valueServices;
  if (values == nullptr || call.args == nullptr) return;
  if (call.argCount > 1) {
    values->copyString(&call.args[1], instance.destinationHost, DestinationHostSize);
    instance.destinationHost[DestinationHostSize - 1] = '\0';
  }
  if (call.argCount > 2) values->valueToInteger(&call.args[2], &instance.destinationPort);
}
