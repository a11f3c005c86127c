#include "xtra/host_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zephyx::xtra {
namespace {

int32_t major(const std::string& text) {
  char buffer[32];
  std::memset(buffer, 0, sizeof buffer);
  std::memcpy(buffer, text.data(), std::min(text.size(), sizeof buffer));
  return parseMajorVersion(buffer, sizeof buffer);
}

TEST(HostVersion, ReadsTheLeadingNumberAsPercentDDot) {
  EXPECT_EQ(major("12.0"), 12);
  EXPECT_EQ(major("11"), 11);
  EXPECT_EQ(major("10.5"), 10);
  EXPECT_EQ(major("abc"), 0);
  EXPECT_EQ(major(""), 0);
  EXPECT_EQ(major("  11.0.1"), 11);
  EXPECT_EQ(major("-3"), -3);
  EXPECT_EQ(major(".11"), 0);
}

TEST(HostVersion, ModernFromVersionEleven) {
  EXPECT_TRUE(isModernVersion("12.0", 5));
  EXPECT_TRUE(isModernVersion("11", 3));
  EXPECT_FALSE(isModernVersion("10.5", 5));
  EXPECT_FALSE(isModernVersion("abc", 4));
  EXPECT_FALSE(isModernVersion("", 1));
}

TEST(HostVersion, ATextWithoutNulIsReadOnlyWithinItsBuffer) {
  // 32 digits with no NUL, followed by more digits that must not be read.
  const std::string text = std::string(32, '1') + "999";
  EXPECT_EQ(parseMajorVersion(text.data(), 32), 2147483647) << "saturates instead of overflowing";
  EXPECT_EQ(parseMajorVersion("1299", 2), 12);
}

}  // namespace
}  // namespace zephyx::xtra
