// What the library tells the host about its one class and three interfaces.
#pragma once

#include "host/library_exports.h"
#include "zephyx_version.h"

namespace zephyx::xtra {

// Major, minor and patch version, then the release stage (0xC0: final).
constexpr uint32_t ClassVersion =
    (VersionMajor << 24) | (VersionMinor << 16) | (VersionPatch << 8) | 0xC0u;
static_assert(VersionMajor < 256 && VersionMinor < 256 && VersionPatch < 256,
              "each part of the version fits its byte");

using InterfaceCreatorFn = HostStatus(ZX_CALL*)(void* instance, void** out) noexcept;

// Visitors of the enumeration; a nonzero result ends it and is returned.
using ClassVisitor = HostStatus (*)(const HostGuid& classId, uint32_t classVersion,
                                    int32_t instanceSize, CreateInstanceFn create,
                                    DestroyInstanceFn destroy, void* context);
using InterfaceVisitor = HostStatus (*)(const HostGuid& classId, uint32_t classVersion,
                                        const HostGuid& interfaceId, uint32_t interfaceVersion,
                                        InterfaceCreatorFn creator, void* context);

// Visits the class, then each interface in the order registration,
// scripting, notification client. With a class id that is not ours, visits
// nothing and returns 0. The host's three class exports each need a part
// of this walk, in this order, so it is written once with visitors rather
// than as a table each export reads its own way.
HostStatus enumerateClass(const HostGuid* classId, ClassVisitor classVisitor,
                          InterfaceVisitor interfaceVisitor, void* context);

}  // namespace zephyx::xtra
