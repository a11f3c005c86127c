// The functions that the library exports and the host looks up by name.
#pragma once

#include <cstddef>

#include "host/host_memory.h"
#include "host/host_types.h"

namespace zephyx {

// Creation and destruction callbacks of a class: called with the instance
// record, after the host has allocated and zero-filled it and written its
// header, and before the host frees it.
using CreateInstanceFn = HostStatus(ZX_CALL*)(void* instance) noexcept;
using DestroyInstanceFn = HostStatus(ZX_CALL*)(void* instance) noexcept;

// One entry of the class information array.
struct ClassInterfaceInfo {
  HostGuid classId;
  uint32_t classVersion;
  HostGuid interfaceId;
  uint32_t interfaceVersion;
};
static_assert(sizeof(ClassInterfaceInfo) == 40, "ClassInterfaceInfo is 40 bytes");
static_assert(offsetof(ClassInterfaceInfo, classId) == 0, "ClassInterfaceInfo layout");
static_assert(offsetof(ClassInterfaceInfo, classVersion) == 16, "ClassInterfaceInfo layout");
static_assert(offsetof(ClassInterfaceInfo, interfaceId) == 20, "ClassInterfaceInfo layout");
static_assert(offsetof(ClassInterfaceInfo, interfaceVersion) == 36, "ClassInterfaceInfo layout");

// Host thread. With classId null or this library's class: stores the
// instance size and the two callbacks and returns 0; else ResultNoClass.
using DllGetClassFormFn = HostStatus(ZX_CALL*)(const HostGuid* classId, int32_t* instanceSize,
                                               CreateInstanceFn* create,
                                               DestroyInstanceFn* destroy) noexcept;
// Host thread. Creates the interface object `interfaceId` for the instance
// record and stores it in *out with one reference owned by the caller.
using DllGetInterfaceFn = HostStatus(ZX_CALL*)(void* instance, const HostGuid* classId,
                                               const HostGuid* interfaceId, void** out) noexcept;
// Host thread. Stores in *out an array allocated with `allocator` (the
// caller frees it): one entry per class and interface, then an entry whose
// identifiers are zero.
using DllGetClassInfoFn = HostStatus(ZX_CALL*)(IHostMemory* allocator,
                                               ClassInterfaceInfo** out) noexcept;
// Always ResultNoClass.
using DllGetClassObjectFn = HostStatus(ZX_CALL*)(const void* a, const void* b, void** out) noexcept;
// 0 when no interface object of the library is alive, else ResultObjectsAlive.
using DllCanUnloadNowFn = HostStatus(ZX_CALL*)() noexcept;

}  // namespace zephyx
