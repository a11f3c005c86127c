// From the bytes of one received packet to the items it becomes.
#pragma once

#include <cstddef>

#include "receive/datagram_items.h"
#include "receive/receive_settings.h"
#include "receive/receiving_services.h"

namespace zephyx::receive {

enum class DecodeResult {
  Decoded,    // every item was added
  Malformed,  // not well-formed OSC: nothing was made
  NotMade,    // the host could not make a value, or memory ran out: nothing was kept
};

// Takes one packet apart and, when it is well formed, adds its items to
// `items`, which starts empty, in queue order: a message's item, or a
// bundle's start marker, the items of its elements depth first and its end
// marker. A packet becomes all of its items or none, so that a script never
// meets half a bundle: unless the result is Decoded, `items` is left empty.
// Reads no byte outside [data, data + size), keeps no pointer into it and
// throws nothing. Whatever brings the bytes (the UDP socket, a test, a
// benchmark) calls this on its own thread with the services it holds.
DecodeResult decodePacket(const char* data, size_t size, const ReceiveSettings& settings,
                          const ReceivingServices& services, DatagramItems& items) noexcept;

}  // namespace zephyx::receive
