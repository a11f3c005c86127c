// Lingo values: kinds, conversions, creation and references.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

// Every value that an operation here makes carries one reference, which its
// receiver gives back once with releaseValue. Values passed in are borrowed.
struct IHostValues : IMoaUnknown {
  // Any thread. Stores the kind code of *value (see HostValueKind).
  virtual HostStatus ZX_CALL valueType(const HostValue* value, int32_t* kind) noexcept = 0;

  // Host thread. Conversions. A value that does not convert gives 0 (or
  // NoSymbol) and a failure status.
  virtual HostStatus ZX_CALL valueToInteger(const HostValue* value, int32_t* out) noexcept = 0;
  virtual HostStatus ZX_CALL valueToDouble(const HostValue* value, double* out) noexcept = 0;
  virtual HostStatus ZX_CALL valueToSymbol(const HostValue* value, HostSymbol* out) noexcept = 0;

  // Host thread. Copies the bytes of a string into `buffer`, at most
  // capacity - 1 of them, and always NUL-terminates when capacity > 0. A
  // non-string gives the empty text and a failure status.
  virtual HostStatus ZX_CALL copyString(const HostValue* value, char* buffer,
                                        int32_t capacity) noexcept = 0;
  // Host thread. The length of a string in bytes; 0 and a failure for other kinds.
  virtual HostStatus ZX_CALL stringLength(const HostValue* value, int32_t* out) noexcept = 0;

  // Any thread, for a value the caller holds. Stores the string's bytes in
  // *bytes, readable and writable until unlockString; stringLength bytes
  // followed by a NUL. A non-string gives an empty text (never null) and a
  // failure status.
  virtual HostStatus ZX_CALL lockString(const HostValue* value, char** bytes) noexcept = 0;
  virtual HostStatus ZX_CALL unlockString(const HostValue* value) noexcept = 0;

  // Any thread. Make new values; the caller owns the reference.
  virtual HostStatus ZX_CALL integerToValue(int32_t number, HostValue* out) noexcept = 0;
  virtual HostStatus ZX_CALL doubleToValue(double number, HostValue* out) noexcept = 0;
  virtual HostStatus ZX_CALL symbolToValue(HostSymbol symbol, HostValue* out) noexcept = 0;
  // `text` is NUL-terminated; the value holds a copy.
  virtual HostStatus ZX_CALL stringToValue(const char* text, HostValue* out) noexcept = 0;

  // Any thread. Add or drop one reference. Releasing a value that is no
  // longer alive is a fault of the caller, which the host reports by status.
  virtual HostStatus ZX_CALL retainValue(const HostValue* value) noexcept = 0;
  virtual HostStatus ZX_CALL releaseValue(const HostValue* value) noexcept = 0;

  // Any thread. Interns `text` (NUL-terminated, case-insensitive).
  virtual HostStatus ZX_CALL stringToSymbol(const char* text, HostSymbol* out) noexcept = 0;

 protected:
  ~IHostValues() = default;
};

}  // namespace zephyx
