// Scope ownership of one reference on a HostValue.
#pragma once

#include <utility>

#include "host/host_values.h"

namespace zephyx {

// Holds at most one reference and gives it back exactly once. It either
// adopts a reference that the caller already owns (`adopt`, or writing
// through `out()`), or takes a new one explicitly (`retain`); never both.
class OwnedValue {
 public:
  OwnedValue() = default;
  explicit OwnedValue(IHostValues* values) : values_(values) {}
  OwnedValue(const OwnedValue&) = delete;
  OwnedValue& operator=(const OwnedValue&) = delete;
  OwnedValue(OwnedValue&& other) noexcept
      : values_(other.values_), value_(std::exchange(other.value_, VoidValue)) {}
  OwnedValue& operator=(OwnedValue&& other) noexcept {
    if (this != &other) {
      reset();
      values_ = other.values_;
      value_ = std::exchange(other.value_, VoidValue);
    }
    return *this;
  }
  ~OwnedValue() { reset(); }

  static OwnedValue adopt(IHostValues* values, const HostValue& value) {
    OwnedValue owned(values);
    owned.value_ = value;
    return owned;
  }
  static OwnedValue retain(IHostValues* values, const HostValue& value) {
    values->retainValue(&value);
    return adopt(values, value);
  }

  const HostValue& get() const { return value_; }
  const HostValue* ptr() const { return &value_; }

  // Gives back the current reference and returns the slot for an operation
  // that makes a new value: what it stores there is adopted.
  HostValue* out() {
    reset();
    return &value_;
  }

  // Hands the reference over without giving it back: the caller owns it
  // now, and this holder is left empty.
  HostValue take() { return std::exchange(value_, VoidValue); }

  void reset() {
    const HostValue old = std::exchange(value_, VoidValue);
    if (values_ != nullptr && !sameValue(old, VoidValue)) values_->releaseValue(&old);
  }

 private:
  IHostValues* values_ = nullptr;
  HostValue value_ = VoidValue;
};

// Gives back the reference on `value` now; for a value that the caller owns
// and keeps no longer, such as one taken out of a record.
inline void releaseNow(IHostValues* values, const HostValue& value) {
  OwnedValue::adopt(values, value).reset();
}

}  // namespace zephyx
