#include "send/numeric_conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zephyx::send {
namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(NumericConversions, Int64TruncatesAndSaturates) {
  EXPECT_EQ(int64FromDouble(-2.9), -2);
  EXPECT_EQ(int64FromDouble(2.9), 2);
  EXPECT_EQ(int64FromDouble(Nan), 0);
  EXPECT_EQ(int64FromDouble(0x1p62), int64_t{1} << 62);
  EXPECT_EQ(int64FromDouble(0x1p63), INT64_MAX);
  // INT64_MAX as a double is 2^63, which is out of range.
  EXPECT_EQ(int64FromDouble(static_cast<double>(INT64_MAX)), INT64_MAX);
  EXPECT_EQ(int64FromDouble(-0x1p63), INT64_MIN);
  EXPECT_EQ(int64FromDouble(-0x1p64), INT64_MIN);
  EXPECT_EQ(int64FromDouble(Inf), INT64_MAX);
  EXPECT_EQ(int64FromDouble(-Inf), INT64_MIN);
}

TEST(NumericConversions, TimeTagsKeepTheTopBitOfRealNtpTimes) {
  EXPECT_EQ(timeTagFromDouble(1.0), 1u);
  EXPECT_EQ(timeTagFromDouble(2.9), 2u);
  EXPECT_EQ(timeTagFromDouble(-1.0), UINT64_MAX) << "negative numbers give their bit pattern";
  EXPECT_EQ(timeTagFromDouble(Nan), 0u);
  // An NTP time of 2026: its top bit is set.
  const uint64_t ntp = 0xED1A2B3C00000000ull;
  EXPECT_EQ(timeTagFromDouble(static_cast<double>(ntp)), ntp);
  EXPECT_EQ(timeTagFromDouble(0x1p63), uint64_t{1} << 63);
  EXPECT_EQ(timeTagFromDouble(0x1p64), UINT64_MAX);
  EXPECT_EQ(timeTagFromDouble(Inf), UINT64_MAX);
  EXPECT_EQ(timeTagFromDouble(-Inf), uint64_t{1} << 63);
  EXPECT_EQ(timeTagFromInteger(-1), UINT64_MAX);
  EXPECT_EQ(timeTagFromInteger(1), 1u);
  EXPECT_EQ(timeTagFromInteger(INT32_MIN), 0xFFFFFFFF80000000ull);
}

TEST(NumericConversions, PackedWordsAreTheLow32Bits) {
  EXPECT_EQ(packedWordFromDouble(0x00903C7F), 0x00903C7Fu);
  EXPECT_EQ(packedWordFromDouble(4294967295.0), 0xFFFFFFFFu);
  EXPECT_EQ(packedWordFromDouble(0x1p32 + 5), 5u);
  EXPECT_EQ(packedWordFromDouble(-1.0), 0xFFFFFFFFu);
  EXPECT_EQ(packedWordFromDouble(Nan), 0u);
  EXPECT_EQ(packedWordFromDouble(1e300), 0xFFFFFFFFu) << "saturated to INT64_MAX first";
}

TEST(NumericConversions, Float32RoundsToNearestAndOverflowsOnlyPastHalfAUnit) {
  constexpr float largest = std::numeric_limits<float>::max();
  const double halfUnit = 0x1p103;
  EXPECT_EQ(float32FromDouble(3.4028235e38), largest);
  EXPECT_EQ(float32FromDouble(static_cast<double>(largest) + halfUnit / 2), largest);
  EXPECT_EQ(float32FromDouble(-(static_cast<double>(largest) + halfUnit / 2)), -largest);
  EXPECT_EQ(float32FromDouble(static_cast<double>(largest) + halfUnit), INFINITY)
      << "a tie rounds to even, which is past FLT_MAX";
}

TEST(NumericConversions, Float32RoundsAndOverflowsToInfinity) {
  EXPECT_EQ(float32FromDouble(0.5), 0.5f);
  EXPECT_EQ(float32FromDouble(0.1), 0.1f);
  EXPECT_EQ(float32FromDouble(1e39), std::numeric_limits<float>::infinity());
  EXPECT_EQ(float32FromDouble(-1e39), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(float32FromDouble(std::numeric_limits<float>::max()),
            std::numeric_limits<float>::max());
  EXPECT_EQ(float32FromDouble(-Inf), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(float32FromDouble(Nan)));
  EXPECT_EQ(float32FromDouble(1e-50), 0.0f);
}

}  // namespace
}  // namespace zephyx::send
