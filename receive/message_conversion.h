// Turning one received OSC message into Lingo values.
#pragma once

#include "osc/OscReceivedElements.h"
#include "receive/datagram_items.h"
#include "receive/receive_settings.h"
#include "receive/receiving_services.h"

namespace zephyx::receive {

// Adds the message's item to `items`: its address as a string and its
// arguments as a list or property list (as `settings` asks), arrays nested
// as they are in the message. False, adding nothing and keeping nothing,
// when the host could not make or hold one of the values, so that no
// message reaches a script with a value missing. The message must have
// passed isWellFormedPacket and the services must be ready. Receiving
// thread.
bool convertMessage(const osc::ReceivedMessage& message, const ReceiveSettings& settings,
                    const ReceivingServices& services, DatagramItems& items);

}  // namespace zephyx::receive
