#include "receive/received_queue.h"

#include <gtest/gtest.h>

#include "tests/support/host_fixture.h"

namespace zephyx::receive {
namespace {

class ReceivedQueueTest : public testsupport::HostFixture {
 protected:
  void add(DatagramItems& batch, int32_t number) {
    batch.add(host.makeString("/n"), host.makeInteger(number));
  }
  int32_t numberOf(const ReceivedItem& received) {
    int32_t number = -1;
    host.values().valueToInteger(received.body.ptr(), &number);
    return number;
  }
};

TEST_F(ReceivedQueueTest, PopsInOrderAndReportsEmpty) {
  ReceivedQueue queue(&host.values());
  EXPECT_FALSE(queue.pop());
  DatagramItems batch(&host.values(), {});
  add(batch, 1);
  add(batch, 2);
  EXPECT_EQ(queue.pushAll(batch), 0u);
  EXPECT_EQ(batch.size(), 0u);
  add(batch, 3);
  EXPECT_EQ(queue.pushAll(batch), 0u);
  EXPECT_EQ(queue.size(), 3u);
  for (int32_t i = 1; i <= 3; ++i) {
    auto popped = queue.pop();
    ASSERT_TRUE(popped);
    EXPECT_EQ(numberOf(*popped), i);
  }
  EXPECT_FALSE(queue.pop());
}

// However the items arrive, one at a time or in one datagram's batch, the
// newest 1025 stay in order and the others give their values back.
TEST_F(ReceivedQueueTest, KeepsTheNewest1025Of2000InBatchesOfAnySize) {
  for (size_t batchSize : {size_t{1}, size_t{7}, size_t{2000}}) {
    ReceivedQueue queue(&host.values());
    size_t evicted = 0;
    DatagramItems batch(&host.values(), {});
    for (int32_t i = 0; i < 2000; ++i) {
      add(batch, i);
      if (batch.size() == batchSize || i == 1999) evicted += queue.pushAll(batch);
    }
    EXPECT_EQ(queue.size(), 1025u) << batchSize;
    EXPECT_EQ(evicted, 2000u - 1025u) << batchSize;
    EXPECT_EQ(host.valueTable().liveCount(), 2 * 1025) << "evicted items gave their values back";
    for (int32_t i = 2000 - 1025; i < 2000; ++i) {
      auto popped = queue.pop();
      ASSERT_TRUE(popped);
      ASSERT_EQ(numberOf(*popped), i) << batchSize;
    }
    EXPECT_FALSE(queue.pop());
  }
}

}  // namespace
}  // namespace zephyx::receive
