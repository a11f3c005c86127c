// The host's broker: where an instance finds the host's services and asks
// for new objects.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

struct IHostBroker : IMoaUnknown {
  // Any thread. Stores a new reference to the service `serviceId` in *out
  // (the caller releases it) and returns 0, or stores null and returns a
  // failure.
  virtual HostStatus ZX_CALL queryService(const HostGuid* serviceId, void** out) noexcept = 0;
  // Host thread only. Creates a new instance of the class `classId` and
  // stores a new reference to its interface `interfaceId` in *out (the
  // caller releases it), or stores null and returns a failure.
  virtual HostStatus ZX_CALL createObject(const HostGuid* classId, const HostGuid* interfaceId,
                                          void** out) noexcept = 0;

 protected:
  ~IHostBroker() = default;
};

}  // namespace zephyx
