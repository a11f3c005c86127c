// One item waiting for delivery: a converted message or a bundle marker.
#pragma once

#include <cstdint>

#include "common/owned_value.h"

namespace zephyx::receive {

// Where a datagram came from, as the socket reported it: plain numbers,
// made into Lingo values only when a script asks.
struct Sender {
  uint32_t address = 0;  // IPv4, host byte order
  uint16_t port = 0;     // 0: not known
};

// An item's two values as the queue stores them, one reference on each;
// whoever holds the entry gives them back.
struct ItemValues {
  // For a message, the address as a string; for a bundle marker, a symbol.
  HostValue head;
  // For a message, its arguments as a list or property list; for a marker,
  // an integer.
  HostValue body;
  // The datagram's sender: the same for a bundle's markers and messages.
  Sender sender;
};

// An item taken out of the queue: owns its values and gives them back when
// destroyed, on whichever thread that happens.
struct ReceivedItem {
  // Adopts the references of `values`.
  ReceivedItem(IHostValues* service, const ItemValues& values)
      : head(OwnedValue::adopt(service, values.head)),
        body(OwnedValue::adopt(service, values.body)),
        sender(values.sender) {}

  OwnedValue head;
  OwnedValue body;
  Sender sender;
};

}  // namespace zephyx::receive
