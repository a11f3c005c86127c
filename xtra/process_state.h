// Values shared by every instance of the loaded library.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/host_broker.h"

namespace zephyx::xtra {

// The broker of the most recently created instance. Written by
// createInstance; startListening hands it to the receiving thread, which
// takes its services from it. Host thread only.
extern IHostBroker* sharedBroker;

// True when the host application is version 11 or later: received blobs
// then become byte arrays rather than strings. Host thread only.
extern bool isModernHost;

// Interface objects alive. Atomic, since an object may be released on any
// thread like every IMoaUnknown.
extern std::atomic<int32_t> liveInterfaceCount;

}  // namespace zephyx::xtra
