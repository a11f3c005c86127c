// The scripting interface: how Lingo method calls reach the library.
#pragma once

#include <cstddef>

#include "host/moa_unknown.h"

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
// With 4-byte pointers (the real host's 32-bit Windows) the record is
// exactly the host's: the argument pointer follows argCount directly.
static_assert(sizeof(void*) != 4 || offsetof(MethodCall, args) == 24, "MethodCall layout");
static_assert(sizeof(void*) != 4 || sizeof(MethodCall) == 28, "MethodCall layout");

// Implemented by the library.
struct IMoaMmXScript : IMoaUnknown {
  // Host thread. Runs the Lingo method of the call; returns 0.
  virtual HostStatus ZX_CALL callMethod(MethodCall* call) = 0;

 protected:
  ~IMoaMmXScript() = default;
};
