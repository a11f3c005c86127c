// Basic types shared by the host and the library across the library boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Calling convention of every operation that crosses the library boundary.
// The real host is a 32-bit Windows program that calls through __stdcall.
#if defined(_WIN32) && !defined(_WIN64)
#define ZX_CALL __stdcall
#else
#define ZX_CALL
#endif

namespace zephyx {

// Status of a host or library operation: 0 is success, anything else a failure.
using HostStatus = int32_t;

constexpr HostStatus StatusOk = 0;

// An opaque Lingo value. Copied bitwise; what the words mean is the host's
// business. Two 32-bit words, never one 64-bit member: that would raise the
// alignment and move the fields of MethodCall on 32-bit Windows.
struct HostValue {
  uint32_t words[2];
};
static_assert(sizeof(HostValue) == 8, "HostValue is 8 bytes");
static_assert(alignof(HostValue) == 4, "HostValue is word aligned");
static_assert(std::is_trivially_copyable<HostValue>::value, "HostValue is copied bitwise");

inline bool sameValue(const HostValue& a, const HostValue& b) {
  return a.words[0] == b.words[0] && a.words[1] == b.words[1];
}

// The all-zero value is VOID. It carries no reference: retaining or releasing
// it does nothing, so a zero-filled record holds no value to give back.
constexpr HostValue VoidValue = {{0, 0}};

// An interned, case-insensitive Lingo symbol. 0 is never a symbol.
using HostSymbol = uint32_t;
constexpr HostSymbol NoSymbol = 0;

// The value kinds that valueType reports and the library tells apart. A host
// may report other codes for other kinds (symbols, objects, ...); the library
// treats every other code alike.
enum HostValueKind : int32_t {
  KindVoid = 0,
  KindInteger = 1,
  KindString = 3,
  KindFloat = 6,
  KindList = 7,
  KindPropList = 10,
  KindByteArray = 21,
};

// A 16-byte identifier of a class, an interface or a service, compared byte
// for byte.
struct HostGuid {
  uint8_t bytes[16];
};
static_assert(sizeof(HostGuid) == 16, "HostGuid is 16 bytes");

inline bool operator==(const HostGuid& a, const HostGuid& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}
inline bool operator!=(const HostGuid& a, const HostGuid& b) { return !(a == b); }

}  // namespace zephyx
