// Lingo lists and property lists.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

// Positions count from 1. Containers hold their own reference to what is
// added; the caller keeps its own. A container being built on one thread is
// not read by another until it has been handed over.
struct IHostLists : IMoaUnknown {
  // Any thread. Make a new empty container; the caller owns the reference.
  virtual HostStatus ZX_CALL newList(HostValue* out) noexcept = 0;
  virtual HostStatus ZX_CALL newPropList(HostValue* out) noexcept = 0;

  // Any thread. Append to a list, or add a pair to a property list. Keys
  // may repeat.
  virtual HostStatus ZX_CALL appendToList(const HostValue* list,
                                          const HostValue* value) noexcept = 0;
  virtual HostStatus ZX_CALL addProp(const HostValue* propList, const HostValue* key,
                                     const HostValue* value) noexcept = 0;

  // Any thread. Number of elements (pairs for a property list); 0 and a
  // failure for other kinds.
  virtual HostStatus ZX_CALL listCount(const HostValue* list, int32_t* out) noexcept = 0;
  // Any thread. A new reference to the element at `position` (for a
  // property list, the value of the pair), owned by the caller. Out of
  // range gives VOID and a failure.
  virtual HostStatus ZX_CALL listGetAt(const HostValue* list, int32_t position,
                                       HostValue* out) noexcept = 0;
  // Any thread. A new reference to the key of the pair at `position`.
  virtual HostStatus ZX_CALL propNameAt(const HostValue* propList, int32_t position,
                                        HostValue* out) noexcept = 0;

 protected:
  ~IHostLists() = default;
};

}  // namespace zephyx
