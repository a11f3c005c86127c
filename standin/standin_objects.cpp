#include "standin/standin_objects.h"

#include "standin/ref_count.h"

#include <cstring>

namespace zephyx::standin {
namespace {

uint8_t noBytes[1] = {0};

// The object behind a byte-array or script-object value. It holds its own
// reference on the value and lives until its last release.
class ValueObject final : public IHostByteArray {
 public:
  ValueObject(StandInObjects& owner, ValueTable& table, HostCalls& calls, HostSymbol lengthName,
              const HostValue& value, bool isByteArray)
      : owner_(owner),
        table_(table),
        calls_(calls),
        lengthName_(lengthName),
        value_(value),
        isByteArray_(isByteArray) {
    table_.retain(value_);
  }
  ~ValueObject() { table_.release(value_); }

  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override {
    if (out == nullptr) return ResultHostFailure;
    *out = nullptr;
    if (id == nullptr) return ResultNoInterface;
    if (*id == hostids::Unknown || (isByteArray_ && *id == hostids::ByteArray)) {
      addRef();
      *out = static_cast<IHostByteArray*>(this);
      return StatusOk;
    }
    return ResultNoInterface;
  }
  uint32_t ZX_CALL addRef() noexcept override { return references_.add(); }
  uint32_t ZX_CALL release() noexcept override {
    const int32_t left = references_.drop();
    if (left == 0) {
      owner_.objectDied();
      delete this;
    }
    return RefCount::answer(left);
  }

  HostStatus ZX_CALL getProp(HostSymbol property, HostValue* out) noexcept override {
    calls_.hostThreadOnly();
    if (out == nullptr) return ResultHostFailure;
    *out = VoidValue;
    ValueSlot* slot = table_.find(value_);
    if (slot == nullptr || property != lengthName_) return ResultHostFailure;
    const auto length = static_cast<int32_t>(slot->bytes.size());
    *out = table_.makeForService(StandInInteger, [&](ValueSlot& made) { made.integer = length; });
    return madeStatus(*out);
  }

  HostStatus ZX_CALL getBytes(uint8_t** bytes) noexcept override {
    calls_.hostThreadOnly();
    if (bytes == nullptr) return ResultHostFailure;
    *bytes = noBytes;
    ValueSlot* slot = table_.find(value_);
    if (slot == nullptr) return ResultHostFailure;
    if (!slot->bytes.empty()) *bytes = slot->bytes.data();
    return StatusOk;
  }

 private:
  StandInObjects& owner_;
  ValueTable& table_;
  HostCalls& calls_;
  HostSymbol lengthName_;
  HostValue value_;
  bool isByteArray_;
  RefCount references_{1};
};

}  // namespace

StandInObjects::StandInObjects(ValueTable& table, SymbolTable& symbols, HostCalls& calls)
    : HostService(hostids::ObjectService),
      table_(table),
      calls_(calls),
      lengthName_(symbols.intern("length")) {}

HostStatus ZX_CALL StandInObjects::valueToObject(const HostValue* value,
                                                 IMoaUnknown** out) noexcept {
  calls_.hostThreadOnly();
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (value == nullptr) return ResultHostFailure;
  ValueSlot* slot = table_.find(*value);
  if (slot == nullptr) {
    if (!sameValue(*value, VoidValue)) table_.noteStaleUse();
    return ResultHostFailure;
  }
  if (slot->kind != StandInByteArray && slot->kind != StandInObject) return ResultHostFailure;
  auto* object =
      new ValueObject(*this, table_, calls_, lengthName_, *value, slot->kind == StandInByteArray);
  liveObjects_.fetch_add(1, std::memory_order_acq_rel);
  *out = static_cast<IHostByteArray*>(object);
  return StatusOk;
}

HostStatus ZX_CALL StandInObjects::newByteArray(const void* bytes, int32_t size,
                                                HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  if (size < 0 || (size > 0 && bytes == nullptr)) return ResultHostFailure;
  const bool writable = !failWrites_.load(std::memory_order_acquire);
  *out = table_.makeForService(StandInByteArray, [&](ValueSlot& slot) {
    if (writable && size > 0) {
      const auto* first = static_cast<const uint8_t*>(bytes);
      slot.bytes.assign(first, first + size);
    }
  });
  return writable ? madeStatus(*out) : ResultHostFailure;
}

}  // namespace zephyx::standin
