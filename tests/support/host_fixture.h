// A stand-in host per test, checked at the end for anything left over.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "common/owned_value.h"
#include "standin/lingo_object.h"
#include "standin/standin_host.h"

namespace zephyx::testsupport {

class HostFixture : public ::testing::Test {
 protected:
  // Every test ends with no live value, block, object, string lock,
  // service reference, instance or registration, and nothing released twice.
  void TearDown() override { EXPECT_EQ(host.leakReport(), ""); }

  // A value from its Lingo notation, owned by the test.
  OwnedValue lingo(std::string_view text);
  std::string format(const HostValue& value) const { return host.format(value); }
  std::string format(const OwnedValue& value) const { return host.format(value.get()); }

  standin::StandInHost host;
};

// Pumps the host loop (a notification pass about every millisecond) until
// `done` holds or `deadline` passes; true when it held.
bool pumpUntil(standin::StandInHost& host, const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::milliseconds(5000));

// Waits (without pumping) until `done` holds or `deadline` passes.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::milliseconds(5000));

}  // namespace zephyx::testsupport
