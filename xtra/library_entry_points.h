// The five functions that the library exports and the host looks up by
// name; their contracts are the function types in host/library_exports.h.
#pragma once

#include "host/library_exports.h"

#if defined(_WIN32)
#define ZX_EXPORT extern "C" __declspec(dllexport)
#else
#define ZX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace zephyx::xtra {

ZX_EXPORT HostStatus ZX_CALL DllGetClassForm(const HostGuid* classId, int32_t* instanceSize,
                                             CreateInstanceFn* create,
                                             DestroyInstanceFn* destroy) noexcept;
ZX_EXPORT HostStatus ZX_CALL DllGetInterface(void* instance, const HostGuid* classId,
                                             const HostGuid* interfaceId, void** out) noexcept;
ZX_EXPORT HostStatus ZX_CALL DllGetClassInfo(IHostMemory* allocator,
                                             ClassInterfaceInfo** out) noexcept;
ZX_EXPORT HostStatus ZX_CALL DllGetClassObject(const void* a, const void* b, void** out) noexcept;
ZX_EXPORT HostStatus ZX_CALL DllCanUnloadNow() noexcept;

}  // namespace zephyx::xtra
