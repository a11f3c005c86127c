// Conversions of Lingo numbers to the OSC argument types. None of them can
// invoke undefined behaviour, whatever the double.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace zephyx::send {

// Truncated toward zero; NaN gives 0; beyond the signed 64-bit range saturates.
int64_t int64FromDouble(double number);

// The 64-bit time tag of a double: truncated toward zero as a signed
// number, except that [2^63, 2^64) converts as unsigned, so that real NTP
// times (whose top bit is set) survive a round trip. NaN gives 0; beyond
// the range saturates.
uint64_t timeTagFromDouble(double number);

// The 64-bit time tag of a Lingo integer: sign-extended, so -1 sets every bit.
uint64_t timeTagFromInteger(int32_t number);

// The low 32 bits of int64FromDouble: a MIDI message or an RGBA colour.
uint32_t packedWordFromDouble(double number);

// Rounded to the nearest float, as the hardware rounds: beyond FLT_MAX by
// less than half a unit in the last place is still FLT_MAX, further out is
// the signed infinity. Inline: every float argument sent takes this path.
inline float float32FromDouble(double number) {
  constexpr float largest = std::numeric_limits<float>::max();
  // Nearly every number is in range: one test settles it (never NaN).
  if (std::fabs(number) <= static_cast<double>(largest)) return static_cast<float>(number);
  // Round to nearest keeps FLT_MAX up to half a unit in the last place
  // above it (2^103); only from there on is the number infinite as a float.
  constexpr double overflow = static_cast<double>(largest) + 0x1p103;
  if (number >= overflow) return std::numeric_limits<float>::infinity();
  if (number <= -overflow) return -std::numeric_limits<float>::infinity();
  if (number > static_cast<double>(largest)) return largest;
  if (number < -static_cast<double>(largest)) return -largest;
  return static_cast<float>(number);
}

}  // namespace zephyx::send
