// Scope ownership of one reference on a COM-style interface.
#pragma once

#include <utility>

#include "host/host_types.h"

namespace zephyx {

// Holds at most one reference and gives it back exactly once. It either
// adopts a reference that the caller already owns (`adopt`, or writing
// through `out()`), or adds one explicitly (`retain`); never both.
template <typename Interface>
class InterfaceRef {
 public:
  InterfaceRef() = default;
  InterfaceRef(const InterfaceRef&) = delete;
  InterfaceRef& operator=(const InterfaceRef&) = delete;
  InterfaceRef(InterfaceRef&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
  InterfaceRef& operator=(InterfaceRef&& other) noexcept {
    if (this != &other) {
      reset();
      held_ = std::exchange(other.held_, nullptr);
    }
    return *this;
  }
  ~InterfaceRef() { reset(); }

  static InterfaceRef adopt(Interface* object) noexcept {
    InterfaceRef ref;
    ref.held_ = object;
    return ref;
  }
  static InterfaceRef retain(Interface* object) noexcept {
    if (object != nullptr) object->addRef();
    return adopt(object);
  }

  Interface* get() const { return held_; }
  Interface* operator->() const { return held_; }
  explicit operator bool() const { return held_ != nullptr; }

  // Give back the current reference and return the slot for an operation
  // that stores a new reference there, which is adopted: typed, or untyped
  // for queryService and queryInterface.
  Interface** slot() {
    reset();
    return &held_;
  }
  void** out() { return reinterpret_cast<void**>(slot()); }

  // Hands the reference over without giving it back: the caller owns it
  // now, and this holder is left empty.
  Interface* take() { return std::exchange(held_, nullptr); }

  void reset() {
    Interface* old = std::exchange(held_, nullptr);
    if (old != nullptr) old->release();
  }

 private:
  Interface* held_ = nullptr;
};

// A new reference to the interface `id` of `object`, or an empty holder
// when it has none (or `object` is null).
template <typename Interface, typename Source>
InterfaceRef<Interface> queryInterface(Source* object, const HostGuid& id) {
  InterfaceRef<Interface> found;
  if (object != nullptr && object->queryInterface(&id, found.out()) != StatusOk) found.reset();
  return found;
}

// For records that must stay trivial and so hold raw pointers: gives back
// the reference in `field`, which is emptied first so that whatever the
// release runs sees it gone.
template <typename Interface>
void releaseAndNull(Interface*& field) {
  Interface* held = std::exchange(field, nullptr);
  if (held != nullptr) held->release();
}

}  // namespace zephyx
