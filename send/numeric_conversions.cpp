#include "send/numeric_conversions.h"

#include <cmath>
#include <limits>

namespace zephyx::send {

int64_t int64FromDouble(double number) {
  if (std::isnan(number)) return 0;
  // 2^63 is exactly representable, INT64_MAX is not (it converts to 2^63).
  if (number >= 0x1p63) return std::numeric_limits<int64_t>::max();
  if (number < -0x1p63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(number);
}

uint64_t timeTagFromDouble(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 0x1p64) return std::numeric_limits<uint64_t>::max();
  if (number >= 0x1p63) return static_cast<uint64_t>(number);
  return static_cast<uint64_t>(int64FromDouble(number));
}

uint64_t timeTagFromInteger(int32_t number) {
  return static_cast<uint64_t>(static_cast<int64_t>(number));
}

uint32_t packedWordFromDouble(double number) {
  return static_cast<uint32_t>(static_cast<uint64_t>(int64FromDouble(number)) & 0xffffffffu);
}

}  // namespace zephyx::send
