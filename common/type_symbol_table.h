// The fourteen OSC type names, and the other names the library uses, interned
// as host symbols per instance.
#pragma once

#include <cstdint>

#include "host/host_values.h"

namespace zephyx {

enum TypeIndex : int32_t {
  TypeNone = -1,
  TypeInt32 = 0,
  TypeFloat32 = 1,
  TypeString = 2,
  TypeBlob = 3,
  TypeArray = 4,
  TypeBool = 5,
  TypeChar = 6,
  TypeDouble = 7,
  TypeInfinitum = 8,
  TypeInt64 = 9,
  TypeMidi = 10,
  TypeNil = 11,
  TypeRgba = 12,
  TypeTime = 13,
};

constexpr int32_t TypeNameCount = 14;

struct TypeName {
  int32_t index;
  const char* name;
};

// In index order.
extern const TypeName TypeNames[TypeNameCount];

// Read by the host thread and the receiving thread; written only by `new`.
struct TypeSymbolTable {
  HostSymbol symbols[TypeNameCount];
  HostSymbol length;       // a byte array's size member
  HostSymbol bundleStart;  // the heads of bundle markers
  HostSymbol bundleEnd;
  HostSymbol streamOpen;  // the heads of stream markers
  HostSymbol streamClosed;
  // An open-addressed index of `symbols`: each slot 0 (empty) or a type
  // index + 1. Every typed argument sent looks its name up here.
  static constexpr uint32_t IndexSlots = 32;
  uint8_t index[IndexSlots];
};

// A table with every name interned through `values`. Owned by the caller.
TypeSymbolTable* makeTypeSymbolTable(IHostValues* values);

// The slot of the index where the search for `symbol` starts.
inline uint32_t typeIndexSlotOf(HostSymbol symbol) {
  return (symbol * 0x9E3779B1u) >> 27;  // the top five bits: 0..31
}

// The index of the first entry equal to `symbol`, or TypeNone. Inline:
// every typed argument sent asks.
inline int32_t typeIndexOf(const TypeSymbolTable& table, HostSymbol symbol) {
  if (symbol == NoSymbol) return TypeNone;
  // Fewer names than slots, so an empty slot always ends the search.
  for (uint32_t slot = typeIndexSlotOf(symbol);; slot = (slot + 1) % TypeSymbolTable::IndexSlots) {
    const uint8_t entry = table.index[slot];
    if (entry == 0) return TypeNone;
    if (table.symbols[entry - 1] == symbol) return entry - 1;
  }
}

}  // namespace zephyx
