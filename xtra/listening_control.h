// Turning receiving on and off from Lingo.
#pragma once

#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

class TStdXtra_IMoaMmXScript;

// Lingo `startListening object me, integer port, integer asPropList,
// symbol cbHandler, *cbTarget`. The result is the integer 1, or the reason
// as a string. `script` is the object the call came through; it becomes
// the refcon of the notification client's registration.
void startListeningFromCall(XtraInstance& instance, MethodCall& call,
                            TStdXtra_IMoaMmXScript* script);

// Lingo `stopListening`, and the first step of `forget`: ends the
// registration unless a stream still delivers, so the host calls the client
// no more, then stops the receiver, which drops what it queued.
void endListening(XtraInstance& instance);

// The host calls the notification client, delivering what is queued, while
// the instance listens or has a stream. Registers one, with `script` as its
// refcon, when there is none; a host that makes no client leaves the
// instance without delivery.
void keepDelivering(XtraInstance& instance, TStdXtra_IMoaMmXScript* script);
// Ends the registration when the instance neither listens nor streams.
void stopDeliveringWhenIdle(XtraInstance& instance);

}  // namespace zephyx::xtra
