// The sending half of the Lingo methods: where a Lingo call's arguments
// become a destination or a packet.
#pragma once

#include "host/moa_mm_xscript.h"
#include "send/datagram_sink.h"
#include "send/packet_sender.h"
#include "send/send_context.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// The instance's services and type symbols, as the sending side uses them.
send::SendContext sendContextOf(const XtraInstance& instance);

// Lingo `setDestination object me, string host, integer port`: stores the
// host text (at most 255 bytes) and the port; nothing is resolved until
// the next send. A missing argument leaves its field unchanged.
void setDestinationFromCall(XtraInstance& instance, const MethodCall& call);

// The packet of call.args[1] through `sink`, built with the instance's
// buffer size (at most `largestPacket`); the result is 1 when the whole
// packet was handed to the sink and taken, else 0 and nothing is sent. For
// send and its kin.
void answerSend(XtraInstance& instance, MethodCall& call, send::DatagramSink& sink,
                int32_t largestPacket = send::MaxDatagramSize);

// Lingo `send object me, object messageOrBundle`: the result is 1 when the
// whole packet was handed to the socket, else 0 and nothing is sent.
void sendFromCall(XtraInstance& instance, MethodCall& call);

}  // namespace zephyx::xtra
