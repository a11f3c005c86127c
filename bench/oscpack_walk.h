// The least a receiver can do with a packet: oscpack parses it and every
// argument is read once.
#pragma once

#include <cstdint>

#include "osc/OscReceivedElements.h"

namespace zephyx::bench {

// A sum of what was read, so that nothing is optimised away.
int64_t walkElement(const osc::ReceivedPacket& packet);

}  // namespace zephyx::bench
