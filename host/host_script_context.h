// Calling Lingo handlers from the library.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

struct IHostScriptContext;

struct IHostScriptContextSource : IMoaUnknown {
  // Host thread. Stores a new reference to the current script context in
  // *out; the caller releases it.
  virtual HostStatus ZX_CALL getScriptContext(IHostScriptContext** out) noexcept = 0;

 protected:
  ~IHostScriptContextSource() = default;
};

struct IHostScriptContext : IMoaUnknown {
  // Host thread. Calls the Lingo handler `handler` with `count` borrowed
  // arguments. A handler on an object gets that object as args[0]. When
  // `result` is not null it receives a new value owned by the caller.
  virtual HostStatus ZX_CALL callHandler(HostSymbol handler, int32_t count, const HostValue* args,
                                         HostValue* result) noexcept = 0;

 protected:
  ~IHostScriptContext() = default;
};

// The host's own record of a saved call context; its contents are the host's.
struct CallGuardState {
  uint32_t words[4];
};
static_assert(sizeof(CallGuardState) == 16, "CallGuardState is 16 bytes");

// The call-guard facet of a script context, reached by its queryInterface.
struct IHostCallGuard : IMoaUnknown {
  // Host thread. Opens and closes a span of handler calls made outside a
  // Lingo call (a delivery pass).
  virtual HostStatus ZX_CALL saveCallContext(CallGuardState* state) noexcept = 0;
  virtual HostStatus ZX_CALL restoreCallContext(CallGuardState* state) noexcept = 0;

 protected:
  ~IHostCallGuard() = default;
};

}  // namespace zephyx
