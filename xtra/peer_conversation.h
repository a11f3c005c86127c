// Talking with peers that answer: who sent what is being delivered, and
// sending from the listening port so that answers come back to it.
#pragma once

#include "host/moa_mm_xscript.h"
#include "receive/received_item.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// Records the sender of the item about to be delivered (a sender that is
// not known leaves none), and whether it came over the stream. `forget`
// drops it with the rest.
void noteSender(XtraInstance& instance, const receive::Sender& sender, bool onStream);

// Lingo `lastSender object me`: the list ["a.b.c.d", port] of the item being
// delivered or, outside a delivery pass, of the last one delivered; VOID
// before any delivery and after `forget`.
void lastSenderFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `reply object me, object messageOrBundle`: the packet, built as
// `send` builds it, sent from the listening socket to the last sender, or
// over the stream when the last sender's item came over it. 1, or 0 when
// not listening (or the stream is not connected), without a sender or when
// `send` (or `sendStream`) would answer 0.
void replyFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `sendFromListener object me, object messageOrBundle`: as `send`, to
// the destination of setDestination, but from the listening socket. 0 when
// not listening.
void sendFromListenerFromCall(XtraInstance& instance, MethodCall& call);

}  // namespace zephyx::xtra
