// The host's registry of extensions, written once when it is built.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

// Value kinds for putEntryValue.
constexpr int32_t RegistryKindBoolean = 6;
constexpr int32_t RegistryKindText = 9;

// Owned by the registry cache; not reference counted.
struct IHostRegistryEntry {
  // Host thread. Stores a copy of the value under `key`. A text is
  // NUL-terminated and given with size 0.
  virtual HostStatus ZX_CALL putEntryValue(int32_t kind, const void* value, int32_t size,
                                           const char* key) noexcept = 0;

 protected:
  ~IHostRegistryEntry() = default;
};

struct IHostRegistryCache : IMoaUnknown {
  // Host thread. Stores in *out the entry for this extension's class and
  // interface (borrowed from the cache).
  virtual HostStatus ZX_CALL addRegistryEntry(void* definition, const HostGuid* classId,
                                              const HostGuid* interfaceId,
                                              IHostRegistryEntry** out) noexcept = 0;

 protected:
  ~IHostRegistryCache() = default;
};

// Implemented by the library.
struct IMoaRegister : IMoaUnknown {
  // Host thread. Stores the extension's registration values. (`register` is
  // a C++ keyword.)
  virtual HostStatus ZX_CALL register_(IHostRegistryCache* cache, void* definition) noexcept = 0;

 protected:
  ~IMoaRegister() = default;
};

}  // namespace zephyx
