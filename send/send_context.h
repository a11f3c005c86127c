// What the sending side reaches the host through.
#pragma once

#include "common/type_symbol_table.h"
#include "host/host_lists.h"
#include "host/host_memory.h"
#include "host/host_objects.h"
#include "host/host_values.h"

namespace zephyx::send {

// Borrowed for one send, host thread. `values` and `lists` are required;
// without `objects` no value reads as a byte array, without `typeSymbols`
// no property name is a type name, and without `memory` nothing is sent.
struct SendContext {
  IHostValues* values;
  IHostLists* lists;
  IHostObjects* objects;
  IHostMemory* memory;
  const TypeSymbolTable* typeSymbols;
};

}  // namespace zephyx::send
