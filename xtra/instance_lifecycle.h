// Creation, initialisation and end of an instance.
#pragma once

#include "host/library_exports.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// The class's creation callback: records the broker in sharedBroker and
// takes the host services the instance keeps, in field order. The first
// failing request ends it with that status; what was taken before stays
// for destroyInstance.
HostStatus ZX_CALL createInstance(void* instance) noexcept;

// The class's destruction callback: ends whatever `forget` would have
// ended, then gives back the services.
HostStatus ZX_CALL destroyInstance(void* instance) noexcept;

// Lingo `new object me, *bufferSize`: script context and call guard, an
// idle receiver, the type symbols and the defaults. An integer argument
// sets the buffer size as given; any other kind leaves 1024.
void initialiseInstance(XtraInstance& instance, const MethodCall& call);

// Lingo `forget`: unregisters, stops and destroys the receiver, frees the
// type symbols and gives back everything else the instance held since `new`.
void forgetInstance(XtraInstance& instance);

}  // namespace zephyx::xtra
