// Turning receiving on and off from Lingo, and handing received items to
// the script's handler on the host thread.
#pragma once

#include "host/host_notifications.h"
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
// registration, so the host calls the client no more, then stops the
// receiver, which drops what it queued.
void endListening(XtraInstance& instance);

// One delivery pass: at most the items queued when it begins, oldest first,
// one handler call each. The pass holds its own references on the
// scripting object (and so the instance), the client, the target and the
// call guard, so that a handler may stop, restart or forget the instance.
void deliverQueuedItems(TStdXtra_IMoaMmXScript* script, IMoaNotificationClient* client);

}  // namespace zephyx::xtra
