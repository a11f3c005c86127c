#include "standin/value_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "standin/standin_host.h"

namespace zephyx::standin {
namespace {

HostValue makeInt(ValueTable& table, int32_t number) {
  return table.make(StandInInteger, [&](ValueSlot& slot) { slot.integer = number; });
}

TEST(ValueTable, CountsLiveValuesAndDetectsReleasesOfDeadOnes) {
  ValueTable table;
  const HostValue a = makeInt(table, 1);
  const HostValue b = makeInt(table, 2);
  EXPECT_EQ(table.liveCount(), 2);

  EXPECT_TRUE(table.retain(a));
  EXPECT_TRUE(table.release(a));
  EXPECT_EQ(table.liveCount(), 2) << "one reference is still held";
  EXPECT_TRUE(table.release(a));
  EXPECT_EQ(table.liveCount(), 1);
  EXPECT_EQ(table.find(a), nullptr);

  EXPECT_FALSE(table.release(a)) << "second release of a dead value";
  EXPECT_EQ(table.invalidReleaseCount(), 1);

  // The freed slot is reused; the stale handle must not reach the new value.
  const HostValue c = makeInt(table, 3);
  EXPECT_FALSE(table.release(a));
  EXPECT_EQ(table.invalidReleaseCount(), 2);
  ASSERT_NE(table.find(c), nullptr);
  EXPECT_EQ(table.find(c)->integer, 3);

  EXPECT_TRUE(table.release(b));
  EXPECT_TRUE(table.release(c));
  EXPECT_EQ(table.liveCount(), 0);
}

TEST(ValueTable, VoidIsNeverCountedOrFreed) {
  ValueTable table;
  EXPECT_TRUE(table.retain(VoidValue));
  EXPECT_TRUE(table.release(VoidValue));
  EXPECT_TRUE(table.release(VoidValue));
  EXPECT_EQ(table.invalidReleaseCount(), 0);
  EXPECT_EQ(table.liveCount(), 0);
  EXPECT_TRUE(table.isValid(VoidValue));
  EXPECT_FALSE(table.isValid(HostValue{{12345, 1}})) << "a handle that never was";
}

TEST(ValueTable, ReleasingDeeplyNestedContainersNeedsNoRecursion) {
  ValueTable table;
  HostValue inner = table.make(StandInList, [](ValueSlot&) {});
  for (int depth = 0; depth < 200000; ++depth) {
    const HostValue element = inner;
    inner = table.make(StandInList, [&](ValueSlot& slot) { slot.items.push_back(element); });
  }
  EXPECT_EQ(table.liveCount(), 200001);
  EXPECT_TRUE(table.release(inner));
  EXPECT_EQ(table.liveCount(), 0);
}

// One thread makes values and hands them over through a bounded list while
// the other reads and releases them, as the receiving thread and the host
// thread do. Run under ThreadSanitizer this shows the table is race free.
// The slots freed on the reading thread go back to the making thread, so the
// table uses no more slots than were ever alive at once, however many values
// pass through.
TEST(ValueTable, OneThreadMakesValuesWhileAnotherReadsAndReleases) {
  StandInHost host;
  IHostValues& values = host.values();
  IHostLists& lists = host.lists();
  constexpr int Count = 20000;
  constexpr size_t Held = 256;  // lists in the handover at most

  std::mutex handoverMutex;
  std::vector<HostValue> handover;
  std::atomic<bool> done{false};

  std::thread maker([&] {
    for (int i = 0; i < Count; ++i) {
      HostValue list;
      lists.newList(&list);
      HostValue number;
      values.integerToValue(i, &number);
      lists.appendToList(&list, &number);
      values.releaseValue(&number);
      HostValue text;
      values.stringToValue("/a/b", &text);
      lists.appendToList(&list, &text);
      values.releaseValue(&text);
      while (true) {
        std::lock_guard<std::mutex> lock(handoverMutex);
        if (handover.size() < Held) {
          handover.push_back(list);
          break;
        }
        std::this_thread::yield();
      }
    }
    done.store(true);
  });

  int64_t sum = 0;
  int seen = 0;
  while (seen < Count) {
    std::vector<HostValue> batch;
    {
      std::lock_guard<std::mutex> lock(handoverMutex);
      batch.swap(handover);
    }
    for (const HostValue& list : batch) {
      HostValue first;
      ASSERT_EQ(lists.listGetAt(&list, 1, &first), StatusOk);
      int32_t number = -1;
      values.valueToInteger(&first, &number);
      sum += number;
      values.releaseValue(&first);
      values.releaseValue(&list);
      ++seen;
    }
    if (batch.empty()) std::this_thread::yield();
  }
  maker.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(sum, static_cast<int64_t>(Count) * (Count - 1) / 2);
  EXPECT_EQ(host.valueTable().madeCount(), 3 * Count);
  // At most twice Held lists of three values alive (held, and being read),
  // and a few slots on their way back.
  EXPECT_LT(host.valueTable().slotCount(), static_cast<int64_t>(8 * Held));
  EXPECT_EQ(host.leakReport(), "");
}

}  // namespace
}  // namespace zephyx::standin
