// The host's header at the start of every instance record it allocates.
#pragma once

#include "host/host_broker.h"
#include "host/host_memory.h"

namespace zephyx {

// Written by the host before the creation callback runs; the instance never
// writes it. All three pointers are borrowed from the host for the life of
// the instance.
struct HostObjectHeader {
  // Reference counting of the instance itself; its queryInterface answers
  // with the class's interface objects.
  IMoaUnknown* object;
  IHostBroker* broker;
  IHostMemory* memory;
};
static_assert(sizeof(void*) != 4 || sizeof(HostObjectHeader) == 12, "HostObjectHeader layout");

}  // namespace zephyx
