#include "receive/received_queue.h"

#include <gtest/gtest.h>

#include "tests/support/host_fixture.h"

namespace zephyx::receive {
namespace {

class ReceivedQueueTest : public testsupport::HostFixture {
 protected:
  std::unique_ptr<ReceivedItem> item(int32_t number) {
    return std::make_unique<ReceivedItem>(&host.values(), host.makeString("/n"),
                                          host.makeInteger(number));
  }
  int32_t numberOf(const ReceivedItem& received) {
    int32_t number = -1;
    host.values().valueToInteger(received.body.ptr(), &number);
    return number;
  }
};

TEST_F(ReceivedQueueTest, PopsInOrderAndReportsEmpty) {
  ReceivedQueue queue;
  EXPECT_EQ(queue.pop(), nullptr);
  for (int32_t i = 1; i <= 3; ++i) EXPECT_EQ(queue.push(item(i)), nullptr);
  EXPECT_EQ(queue.size(), 3u);
  for (int32_t i = 1; i <= 3; ++i) {
    auto popped = queue.pop();
    ASSERT_NE(popped, nullptr);
    EXPECT_EQ(numberOf(*popped), i);
  }
  EXPECT_EQ(queue.pop(), nullptr);
}

TEST_F(ReceivedQueueTest, KeepsTheNewest1025Of2000) {
  ReceivedQueue queue;
  int evicted = 0;
  for (int32_t i = 0; i < 2000; ++i) {
    if (queue.push(item(i)) != nullptr) ++evicted;
  }
  EXPECT_EQ(queue.size(), 1025u);
  EXPECT_EQ(evicted, 2000 - 1025);
  auto oldest = queue.pop();
  EXPECT_EQ(numberOf(*oldest), 2000 - 1025);
  EXPECT_EQ(host.valueTable().liveCount(), 2 * 1025) << "evicted items gave their values back";
  queue.takeAll();
  oldest.reset();
}

}  // namespace
}  // namespace zephyx::receive
