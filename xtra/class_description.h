// What the library tells the host about its one class and three interfaces.
#pragma once

#include "host/library_exports.h"

constexpr uint32_t ClassVersion = 0x010400C0;

using InterfaceCreatorFn = HostStatus(ZX_CALL*)(void* instance, void** out);

// Visitors of the enumeration; a nonzero result ends it and is returned.
using ClassVisitor = HostStatus (*)(const HostGuid& classId, uint32_t classVersion,
                                    int32_t instanceSize, CreateInstanceFn create,
                                    DestroyInstanceFn destroy, void* context);
using InterfaceVisitor = HostStatus (*)(const HostGuid& classId, uint32_t classVersion,
                                        const HostGuid& interfaceId, uint32_t interfaceVersion,
                                        InterfaceCreatorFn creator, void* context);

// Visits the class, then each interface in the order registration,
// scripting, notification client. With a class id that is not ours, visits
// nothing and returns 0.
HostStatus enumerateClass(const HostGuid* classId, ClassVisitor classVisitor,
                          InterfaceVisitor interfaceVisitor, void* context);
