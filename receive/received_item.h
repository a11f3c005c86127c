// One item waiting for delivery: a converted message or a bundle marker.
#pragma once

#include "common/owned_value.h"

namespace zephyx::receive {

// Owns one reference on each of its two values; both are given back when
// the item is destroyed, on whichever thread that happens.
struct ReceivedItem {
  // Adopts the references on `itemHead` and `itemBody`.
  ReceivedItem(IHostValues* values, HostValue itemHead, HostValue itemBody)
      : head(OwnedValue::adopt(values, itemHead)), body(OwnedValue::adopt(values, itemBody)) {}

  // For a message, the address as a string; for a bundle marker, a symbol.
  OwnedValue head;
  // For a message, its arguments as a list or property list; for a marker,
  // an integer.
  OwnedValue body;
};

}  // namespace zephyx::receive
