#include "receive/received_queue.h"

namespace zephyx::receive {
namespace {

void giveBack(IHostValues* values, const ItemValues& item) {
  values->releaseValue(&item.head);
  values->releaseValue(&item.body);
}

}  // namespace

size_t ReceivedQueue::pushAll(std::vector<ItemValues>& batch) {
  size_t removed = 0;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    for (const ItemValues& entry : batch) {
      const ItemValues item = entry;  // its place may take an evicted item's values
      if (count_ < Capacity) {
        const size_t last = first_ + count_;
        ring_[last < Capacity ? last : last - Capacity] = item;
        ++count_;
        continue;
      }
      // Full: the oldest makes room. Its values go to the front of the
      // batch, where every entry is already stored, to be given back once
      // the lock is released.
      batch[removed++] = ring_[first_];
      ring_[first_] = item;
      first_ = first_ + 1 == Capacity ? 0 : first_ + 1;
    }
  }
  for (size_t i = 0; i < removed; ++i) giveBack(values_, batch[i]);
  batch.clear();
  return removed;
}

std::optional<ReceivedItem> ReceivedQueue::pop() {
  ItemValues oldest;
  {
    std::lock_guard<std::mutex> lock(queueMutex);
    if (count_ == 0) return std::nullopt;
    oldest = ring_[first_];
    first_ = first_ + 1 == Capacity ? 0 : first_ + 1;
    --count_;
  }
  return ReceivedItem(values_, oldest);
}

void ReceivedQueue::clear() {
  while (std::optional<ReceivedItem> item = pop()) {
  }
}

size_t ReceivedQueue::size() const {
  std::lock_guard<std::mutex> lock(queueMutex);
  return count_;
}

}  // namespace zephyx::receive
