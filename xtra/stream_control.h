// OSC over TCP from Lingo: one stream per object, to a console or a show
// controller, that reconnects by itself.
#pragma once

#include "host/moa_mm_xscript.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

class TStdXtra_IMoaMmXScript;

// Lingo `connectStream object me, string host, integer port, symbol
// framing, symbol cbHandler, *cbTarget`, framing #length (OSC 1.0) or #slip
// (OSC 1.1). Resolves the host and starts the stream's thread, which
// connects; the answer comes at once: 1, or "missing argument", "unknown
// framing", "invalid port", "unable to resolve host", "stream already open"
// (a stream of this object is connected; one that is waiting to connect
// again is replaced), or a reason the thread could not start. The stream's
// items, (#streamopen, 0) and (#streamclosed, reason) included, go to
// cbHandler unless a route takes a message. `script` becomes the refcon
// of the notification client's registration when there is none.
void connectStreamFromCall(XtraInstance& instance, MethodCall& call,
                           TStdXtra_IMoaMmXScript* script);

// Lingo `sendStream object me, object messageOrBundle`: the packet, built
// as `send` builds it (up to 1 MiB, as the buffer size allows), framed and
// queued for the stream's thread. 1 when queued, 0 when no connection is
// made, `send` would answer 0, or the queue is full.
void sendStreamFromCall(XtraInstance& instance, MethodCall& call);

// Lingo `disconnectStream object me`, and part of `forget`: writes what is
// queued for at most a second, closes, and stops reconnecting; items not
// delivered are dropped. No result.
void endStream(XtraInstance& instance);

// The stream's packet sink for a reply to an item that came over it.
bool replyOverStream(XtraInstance& instance, MethodCall& call);

}  // namespace zephyx::xtra
