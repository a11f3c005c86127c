#include "tests/support/host_fixture.h"

#include <thread>

namespace zephyx::testsupport {

OwnedValue HostFixture::lingo(std::string_view text) {
  lingo::ParseResult parsed = host.parse(text);
  EXPECT_TRUE(parsed.ok) << text << ": " << parsed.error;
  return host.own(parsed.value);
}

bool pumpUntil(standin::StandInHost& host, const std::function<bool()>& done,
               std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    host.pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace zephyx::testsupport
