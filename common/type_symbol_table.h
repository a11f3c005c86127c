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
  // An open-addressed index of `symbols`: each slot 0 (empty) or a type
  // index + 1. Every typed argument sent looks its name up here.
  static constexpr uint32_t IndexSlots = 32;
  uint8_t index[IndexSlots];
};

// A table with every name interned through `values`. Owned by the caller.
TypeSymbolTable* makeTypeSymbolTable(IHostValues* values);

// The index of the first entry equal to `symbol`, or TypeNone.
int32_t typeIndexOf(const TypeSymbolTable& table, HostSymbol symbol);

}  // namespace zephyx
