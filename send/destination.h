// Where an instance sends: a host text and a UDP port.
#pragma once

#include "xtra/xtra_instance.h"

// Lingo `setDestination object me, string host, integer port`: stores the
// host text (at most 255 bytes) and the port; nothing is resolved until
// the next send. A missing argument leaves its field unchanged. Host thread.
void setDestination(XtraInstance& instance, const MethodCall& call);
