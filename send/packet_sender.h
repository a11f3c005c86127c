// Building one packet from a Lingo message or bundle, and sending it.
#pragma once

#include <cstdint>

#include "send/datagram_sink.h"
#include "send/packet_writer.h"
#include "send/send_context.h"

namespace zephyx::send {

// The largest payload of one IPv4 UDP datagram.
constexpr int32_t MaxDatagramSize = 65507;

// Writes the message ([address, arguments]) or bundle ([time tag,
// contents]) that `messageOrBundle` describes into `writer`. True when the
// whole packet was written; false, with nothing worth sending, when the
// list is empty or of another shape, or any part failed. No socket.
bool encodePacket(const SendContext& context, PacketWriter& writer,
                  const HostValue& messageOrBundle);

// Reads the list, opens `sink`, encodes into a buffer of `bufferSize`
// bytes (at most `largestPacket`) from the host allocator and hands the
// packet to `sink`. True when the whole packet was handed over and taken;
// otherwise nothing is sent. A list that describes no packet opens
// nothing, and a sink that does not open costs no buffer. Host thread.
bool sendPacket(const SendContext& context, int32_t bufferSize, const HostValue& messageOrBundle,
                DatagramSink& sink, int32_t largestPacket = MaxDatagramSize);

}  // namespace zephyx::send
