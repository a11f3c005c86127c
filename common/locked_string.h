// Reading a Lingo string in place, in the host's memory.
#pragma once

#include "host/host_values.h"

namespace zephyx {

// Locks the string for the life of this object and unlocks it once. The
// value must stay alive meanwhile; the caller holds it.
class LockedString {
 public:
  LockedString(IHostValues* values, const HostValue& value) : values_(values), value_(value) {
    values_->lockString(&value_, &text_);
  }
  ~LockedString() { values_->unlockString(&value_); }
  LockedString(const LockedString&) = delete;
  LockedString& operator=(const LockedString&) = delete;

  // The text, never null; an empty text when the value is no string.
  const char* text() const { return text_ != nullptr ? text_ : ""; }
  // The bytes, writable; null only when the host gave none.
  char* bytes() const { return text_; }

 private:
  IHostValues* values_;
  HostValue value_;
  char* text_ = nullptr;
};

}  // namespace zephyx
