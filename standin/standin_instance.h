// One instance of a class, allocated and reference counted by the stand-in host.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/host_object_header.h"
#include "standin/ref_count.h"
#include "standin/standin_class.h"

namespace zephyx::standin {

class StandInHost;

// The record is zero-filled, then the host header is written, then the
// class's creation callback runs. The instance lives while its reference
// count is above zero; at zero the destruction callback runs and the record
// is freed.
class StandInInstance final : public IMoaUnknown {
 public:
  // Makes an instance holding one reference, owned by the caller, or
  // returns null with the creation callback's failure in *status.
  static StandInInstance* create(StandInHost& host, const StandInClass& cls, HostStatus* status);

  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override;
  uint32_t ZX_CALL addRef() noexcept override;
  uint32_t ZX_CALL release() noexcept override;

  void* record() const { return record_; }
  int32_t references() const { return references_.count(); }

 private:
  StandInInstance(StandInHost& host, const StandInClass& cls, void* record);
  ~StandInInstance();

  StandInHost& host_;
  const StandInClass& class_;
  void* record_;
  RefCount references_{1};
};

}  // namespace zephyx::standin
