// The scripting interface: how Lingo method calls reach the library.
#pragma once

#include <cstddef>

#include "host/moa_unknown.h"

namespace zephyx {

// The host's record of one Lingo call, laid out as the host lays it out.
struct MethodCall {
  uint32_t reserved[2];
  // 0-based position of the method among the method lines of the message table.
  int32_t methodIndex;
  // VOID as the host gives it; a method that answers stores a new value
  // here, which then belongs to the host.
  HostValue result;
  // Arguments including `me`.
  int32_t argCount;
  // Borrowed; args[0] is `me`.
  HostValue* args;
};
static_assert(offsetof(MethodCall, methodIndex) == 8, "MethodCall layout");
static_assert(offsetof(MethodCall, result) == 12, "MethodCall layout");
static_assert(offsetof(MethodCall, argCount) == 20, "MethodCall layout");
// The host is a 32-bit program: there the argument pointer follows at 24.
static_assert(sizeof(void*) != 4 || offsetof(MethodCall, args) == 24, "MethodCall layout");
static_assert(sizeof(void*) != 4 || sizeof(MethodCall) == 28, "MethodCall layout");

// Implemented by the library. The host calls only these four slots. The
// object that implements them continues the table, in the host's slot
// order for a scripting object, with six operations that the library's
// sending side uses on itself (reading a byte array's bytes and length,
// writing a bundle's contents and a message's arguments, looking a type
// name up by symbol and by string), then one slot per Lingo method in
// message-table order. The host never calls those; they are there because
// the slot order it was built against puts the methods after them.
struct IMoaMmXScript : IMoaUnknown {
  // Host thread. Runs the Lingo method of the call; returns 0.
  virtual HostStatus ZX_CALL callMethod(MethodCall* call) noexcept = 0;

 protected:
  ~IMoaMmXScript() = default;
};

}  // namespace zephyx
