// The root of every COM-style interface that crosses the library boundary.
#pragma once

#include "host/host_types.h"

namespace zephyx {

// Reference counting and interface lookup. Any thread may call these on an
// object that it holds a reference to.
struct IMoaUnknown {
  // Stores a new reference to the interface `id` of this object in *out and
  // returns 0, or stores null and returns a failure. The caller owns the
  // reference.
  virtual HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept = 0;
  // Adds a reference; returns the new count.
  virtual uint32_t ZX_CALL addRef() noexcept = 0;
  // Drops a reference; returns the new count. The object may be gone after it.
  virtual uint32_t ZX_CALL release() noexcept = 0;

 protected:
  ~IMoaUnknown() = default;
};

}  // namespace zephyx
