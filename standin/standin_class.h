// A class as the stand-in host knows it: what it needs to make instances.
#pragma once

#include <functional>

#include "host/host_types.h"
#include "host/library_exports.h"

namespace zephyx::standin {

struct StandInClass {
  HostGuid classId{};
  // Size of the instance record, the host header included.
  int32_t instanceSize = 0;
  CreateInstanceFn create = nullptr;
  DestroyInstanceFn destroy = nullptr;
  // Creates the interface object `interfaceId` for the instance record and
  // stores it, with one reference for the caller, in *out.
  std::function<HostStatus(void* record, const HostGuid& interfaceId, void** out)> getInterface;
};

// The class `classId` as a library's DllGetClassForm and DllGetInterface
// describe it: the exports of a loaded library, or the library's own
// functions where its code is linked in. False, *out untouched, when
// DllGetClassForm refuses the class.
bool describeClass(const HostGuid& classId, DllGetClassFormFn getClassForm,
                   DllGetInterfaceFn getInterface, StandInClass* out);

}  // namespace zephyx::standin
