// Reference counting shared by the stand-in host's service objects.
#pragma once

#include "host/host_ids.h"
#include "host/host_status.h"
#include "standin/ref_count.h"

namespace zephyx::standin {

// What a service answers for a value it made: VOID means it could not.
inline HostStatus madeStatus(const HostValue& made) {
  return sameValue(made, VoidValue) ? ResultHostFailure : StatusOk;
}

// A service lives as long as the host that owns it. Its reference count
// only tracks what callers hold, starting from zero, so that tests can see
// that every reference handed out was given back.
template <typename Interface>
class HostService : public Interface {
 public:
  explicit HostService(const HostGuid& id) : id_(id) {}
  HostService(const HostService&) = delete;
  HostService& operator=(const HostService&) = delete;
  virtual ~HostService() = default;

  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override {
    if (out == nullptr) return ResultHostFailure;
    if (id != nullptr && (*id == hostids::Unknown || *id == id_)) {
      addRef();
      *out = static_cast<Interface*>(this);
      return StatusOk;
    }
    *out = nullptr;
    return ResultNoInterface;
  }
  uint32_t ZX_CALL addRef() noexcept override { return references_.add(); }
  uint32_t ZX_CALL release() noexcept override { return RefCount::answer(references_.drop()); }

  const HostGuid& id() const { return id_; }
  // References handed out and not yet given back.
  int32_t references() const { return references_.count(); }
  // Releases of references that were never handed out.
  int32_t overReleases() const { return references_.overReleases(); }

 private:
  HostGuid id_;
  RefCount references_{0};
};

}  // namespace zephyx::standin
