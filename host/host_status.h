// Failure codes that the library itself returns to the host.
#pragma once

#include "host/host_types.h"

namespace zephyx {

constexpr HostStatus ResultOutOfMemory = static_cast<HostStatus>(0x80040002u);
constexpr HostStatus ResultObjectsAlive = static_cast<HostStatus>(0x80040003u);
constexpr HostStatus ResultNoInterface = static_cast<HostStatus>(0x80040004u);
constexpr HostStatus ResultNoClass = static_cast<HostStatus>(0x80040005u);

// A host operation that could not do what was asked (wrong kind, bad
// position, injected failure). The library never tests for this code; it is
// the stand-in host's generic failure.
constexpr HostStatus ResultHostFailure = static_cast<HostStatus>(0x80004005u);

}  // namespace zephyx
