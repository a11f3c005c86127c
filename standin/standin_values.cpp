#include "standin/standin_values.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "standin/value_conversions.h"

namespace zephyx::standin {
namespace {

// What a non-string gives when its text is asked for: empty, never null.
char emptyText[1] = {'\0'};

}  // namespace

StandInValues::StandInValues(ValueTable& table, SymbolTable& symbols, HostCalls& calls)
    : HostService(hostids::ValueService), table_(table), symbols_(symbols), calls_(calls) {}

HostStatus ZX_CALL StandInValues::valueType(const HostValue* value, int32_t* kind) noexcept {
  calls_.anyThread();
  if (kind == nullptr) return ResultHostFailure;
  *kind = KindVoid;
  if (value == nullptr) return ResultHostFailure;
  if (sameValue(*value, VoidValue)) return StatusOk;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr) return ResultHostFailure;
    *kind = slot->kind;
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::valueToInteger(const HostValue* value, int32_t* out) noexcept {
  calls_.hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = 0;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr) return ResultHostFailure;
    switch (slot->kind) {
      case StandInInteger:
        *out = slot->integer;
        return StatusOk;
      case StandInFloat:
        *out = integerOfDouble(slot->number);
        return StatusOk;
      case StandInString:
        return leadingInteger(slot->text, out) ? StatusOk : ResultHostFailure;
      default:
        return ResultHostFailure;
    }
  });
}

HostStatus ZX_CALL StandInValues::valueToDouble(const HostValue* value, double* out) noexcept {
  calls_.hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = 0.0;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr) return ResultHostFailure;
    switch (slot->kind) {
      case StandInInteger:
        *out = slot->integer;
        return StatusOk;
      case StandInFloat:
        *out = slot->number;
        return StatusOk;
      case StandInString:
        return leadingNumber(slot->text, out) ? StatusOk : ResultHostFailure;
      default:
        return ResultHostFailure;
    }
  });
}

HostStatus ZX_CALL StandInValues::valueToSymbol(const HostValue* value, HostSymbol* out) noexcept {
  calls_.hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = NoSymbol;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr || slot->kind != StandInSymbol) return ResultHostFailure;
    *out = slot->symbol;
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::copyString(const HostValue* value, char* buffer,
                                             int32_t capacity) noexcept {
  calls_.hostThreadOnly();
  if (buffer == nullptr || capacity <= 0) return ResultHostFailure;
  buffer[0] = '\0';
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr || slot->kind != StandInString) return ResultHostFailure;
    const size_t count = std::min(slot->text.size(), static_cast<size_t>(capacity) - 1);
    std::memcpy(buffer, slot->text.data(), count);
    buffer[count] = '\0';
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::stringLength(const HostValue* value, int32_t* out) noexcept {
  calls_.hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = 0;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr || slot->kind != StandInString) return ResultHostFailure;
    *out = static_cast<int32_t>(slot->text.size());
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::lockString(const HostValue* value, char** bytes) noexcept {
  calls_.anyThread();
  if (bytes == nullptr) return ResultHostFailure;
  *bytes = emptyText;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr || slot->kind != StandInString) return ResultHostFailure;
    // std::string keeps a NUL after its bytes, so the text is terminated.
    *bytes = slot->text.data();
    openLocks_.fetch_add(1, std::memory_order_relaxed);
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::unlockString(const HostValue* value) noexcept {
  calls_.anyThread();
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(value);
    if (slot == nullptr || slot->kind != StandInString) return ResultHostFailure;
    openLocks_.fetch_sub(1, std::memory_order_relaxed);
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInValues::integerToValue(int32_t number, HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.makeForService(StandInInteger, [&](ValueSlot& slot) { slot.integer = number; });
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInValues::doubleToValue(double number, HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.makeForService(StandInFloat, [&](ValueSlot& slot) { slot.number = number; });
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInValues::symbolToValue(HostSymbol symbol, HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  if (!symbols_.isSymbol(symbol)) return ResultHostFailure;
  *out = table_.makeForService(StandInSymbol, [&](ValueSlot& slot) { slot.symbol = symbol; });
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInValues::stringToValue(const char* text, HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  if (text == nullptr) return ResultHostFailure;
  *out = table_.makeForService(StandInString, [&](ValueSlot& slot) { slot.text.assign(text); });
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInValues::retainValue(const HostValue* value) noexcept {
  calls_.anyThread();
  if (value == nullptr) return ResultHostFailure;
  return table_.retain(*value) ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL StandInValues::releaseValue(const HostValue* value) noexcept {
  calls_.anyThread();
  if (value == nullptr) return ResultHostFailure;
  return table_.release(*value) ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL StandInValues::stringToSymbol(const char* text, HostSymbol* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = NoSymbol;
  if (text == nullptr) return ResultHostFailure;
  *out = symbols_.intern(text);
  return StatusOk;
}

}  // namespace zephyx::standin
