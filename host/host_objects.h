// Objects behind values: the host's byte arrays.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

struct IHostObjects : IMoaUnknown {
  // Host thread. Stores a new reference to the object behind *value (the
  // caller releases it), or null and a failure when the value is no object.
  virtual HostStatus ZX_CALL valueToObject(const HostValue* value, IMoaUnknown** out) noexcept = 0;
  // Any thread. Makes a new byte array holding a copy of `size` bytes; the
  // caller owns the value. When the host cannot open the new array for
  // writing, the array stays empty and a failure is returned with it.
  virtual HostStatus ZX_CALL newByteArray(const void* bytes, int32_t size,
                                          HostValue* out) noexcept = 0;

 protected:
  ~IHostObjects() = default;
};

// A byte array, reached by queryInterface on the object behind its value.
struct IHostByteArray : IMoaUnknown {
  // Host thread. A new value of the member `property` ("length" gives the
  // size as an integer); the caller owns it.
  virtual HostStatus ZX_CALL getProp(HostSymbol property, HostValue* out) noexcept = 0;
  // Host thread. The address of the contents, valid while the value lives.
  virtual HostStatus ZX_CALL getBytes(uint8_t** bytes) noexcept = 0;

 protected:
  ~IHostByteArray() = default;
};

}  // namespace zephyx
