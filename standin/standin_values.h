// The stand-in host's value service.
#pragma once

#include <atomic>

#include "host/host_values.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"
#include "standin/symbol_table.h"
#include "standin/value_table.h"

namespace zephyx::standin {

class StandInValues final : public HostService<IHostValues> {
 public:
  StandInValues(ValueTable& table, SymbolTable& symbols, HostCalls& calls);

  HostStatus ZX_CALL valueType(const HostValue* value, int32_t* kind) noexcept override;
  HostStatus ZX_CALL valueToInteger(const HostValue* value, int32_t* out) noexcept override;
  HostStatus ZX_CALL valueToDouble(const HostValue* value, double* out) noexcept override;
  HostStatus ZX_CALL valueToSymbol(const HostValue* value, HostSymbol* out) noexcept override;
  HostStatus ZX_CALL copyString(const HostValue* value, char* buffer,
                                int32_t capacity) noexcept override;
  HostStatus ZX_CALL stringLength(const HostValue* value, int32_t* out) noexcept override;
  HostStatus ZX_CALL lockString(const HostValue* value, char** bytes) noexcept override;
  HostStatus ZX_CALL unlockString(const HostValue* value) noexcept override;
  HostStatus ZX_CALL integerToValue(int32_t number, HostValue* out) noexcept override;
  HostStatus ZX_CALL doubleToValue(double number, HostValue* out) noexcept override;
  HostStatus ZX_CALL symbolToValue(HostSymbol symbol, HostValue* out) noexcept override;
  HostStatus ZX_CALL stringToValue(const char* text, HostValue* out) noexcept override;
  HostStatus ZX_CALL retainValue(const HostValue* value) noexcept override;
  HostStatus ZX_CALL releaseValue(const HostValue* value) noexcept override;
  HostStatus ZX_CALL stringToSymbol(const char* text, HostSymbol* out) noexcept override;

  // lockString calls not yet matched by unlockString.
  int64_t openStringLocks() const { return openLocks_.load(std::memory_order_acquire); }

 private:
  ValueTable& table_;
  SymbolTable& symbols_;
  HostCalls& calls_;
  std::atomic<int64_t> openLocks_{0};
};

}  // namespace zephyx::standin
