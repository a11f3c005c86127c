// The stand-in host's object service: byte arrays and script objects.
#pragma once

#include <atomic>

#include "host/host_objects.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"
#include "standin/symbol_table.h"
#include "standin/value_table.h"

namespace zephyx::standin {

class StandInObjects final : public HostService<IHostObjects> {
 public:
  StandInObjects(ValueTable& table, SymbolTable& symbols, HostCalls& calls);

  HostStatus ZX_CALL valueToObject(const HostValue* value, IMoaUnknown** out) noexcept override;
  HostStatus ZX_CALL newByteArray(const void* bytes, int32_t size,
                                  HostValue* out) noexcept override;

  // While set, a new byte array cannot be opened for writing: it stays empty.
  void failByteArrayWrites(bool fail) { failWrites_.store(fail, std::memory_order_release); }
  // Objects handed out by valueToObject and not yet released.
  int64_t liveObjects() const { return liveObjects_.load(std::memory_order_acquire); }

  void objectDied() { liveObjects_.fetch_sub(1, std::memory_order_acq_rel); }

 private:
  ValueTable& table_;
  HostCalls& calls_;
  HostSymbol lengthName_;  // interned once: byte arrays answer their length by it
  std::atomic<bool> failWrites_{false};
  std::atomic<int64_t> liveObjects_{0};
};

}  // namespace zephyx::standin
