// Handing received items to the script's handler, on the host thread.
#pragma once

#include "host/host_notifications.h"

namespace zephyx::xtra {

class TStdXtra_IMoaMmXScript;

// One delivery pass: at most the items queued when it begins, oldest first,
// one handler call each. The pass holds its own references on the
// scripting object (and so the instance), the client, the target and the
// call guard, so that a handler may stop, restart or forget the instance.
void deliverQueuedItems(TStdXtra_IMoaMmXScript* script, IMoaNotificationClient* client);

}  // namespace zephyx::xtra
