// The host's allocator.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

struct IHostMemory : IMoaUnknown {
  // Any thread. Returns a new block of `size` bytes owned by the caller, or
  // null when memory cannot be had.
  virtual void* ZX_CALL allocate(uint32_t size) noexcept = 0;
  // Any thread. Gives back a block from allocate; null is ignored.
  virtual void ZX_CALL freeMemory(void* block) noexcept = 0;

 protected:
  ~IHostMemory() = default;
};

}  // namespace zephyx
