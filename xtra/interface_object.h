// Reference counting shared by the three interface objects of an instance.
#pragma once

#include <atomic>
#include <new>

#include "common/never_throw.h"
#include "host/host_status.h"
#include "xtra/process_state.h"
#include "xtra/xtra_instance.h"

namespace zephyx::xtra {

// An interface object belongs to one instance, its `owner`, and keeps the
// owner alive: two owner references from its creation until it dies, plus
// one for every reference added to the object itself. Its memory comes from
// the owner's host allocator. Like every IMoaUnknown, any thread that holds
// a reference may add or drop one: the counts are atomic.
template <typename Derived, typename Interface>
class XtraInterfaceObject : public Interface {
 public:
  using InterfaceType = Interface;

  explicit XtraInterfaceObject(XtraInstance* ownerInstance) : owner(ownerInstance), refCount(1) {}

  // Answered by the owner: it knows every interface of the class.
  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override {
    return owner->header.object->queryInterface(id, out);
  }

  uint32_t ZX_CALL addRef() noexcept override {
    owner->header.object->addRef();
    return refCount.fetch_add(1, std::memory_order_relaxed) + 1;
  }

  uint32_t ZX_CALL release() noexcept override {
    // Read before the object may be freed.
    IMoaUnknown* ownerObject = owner->header.object;
    IHostMemory* memory = owner->header.memory;
    const uint32_t left = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
      static_cast<Derived*>(this)->~Derived();
      memory->freeMemory(this);
      liveInterfaceCount.fetch_sub(1, std::memory_order_acq_rel);
      ownerObject->release();
    }
    ownerObject->release();
    return left;
  }

  XtraInstance* owner;
  std::atomic<uint32_t> refCount;
};

// Makes an object of `Object` for the instance record `owner` in the
// owner's host memory and stores its interface, with one reference for the
// caller, in *out. While the allocation fails and the process has a
// new-handler, the handler runs and the allocation is tried again; a
// handler that throws ends it. The host requires that retry of objects it
// asks for: it may free memory in its handler and expects the object then.
template <typename Object>
HostStatus createInterfaceObject(void* ownerRecord, void** out) noexcept {
  if (out == nullptr) return ResultOutOfMemory;
  *out = nullptr;
  if (ownerRecord == nullptr) return ResultOutOfMemory;
  auto* owner = static_cast<XtraInstance*>(ownerRecord);
  IHostMemory* memory = owner->header.memory;
  void* block = memory->allocate(sizeof(Object));
  while (block == nullptr) {
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) return ResultOutOfMemory;
    if (!neverThrow(false, [handler] {
          handler();
          return true;
        })) {
      return ResultOutOfMemory;
    }
    block = memory->allocate(sizeof(Object));
  }
  auto* object = new (block) Object(owner);
  owner->header.object->addRef();
  owner->header.object->addRef();
  liveInterfaceCount.fetch_add(1, std::memory_order_acq_rel);
  *out = static_cast<typename Object::InterfaceType*>(object);
  return StatusOk;
}

}  // namespace zephyx::xtra
