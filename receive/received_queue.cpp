#include "receive/received_queue.h"

namespace zephyx::receive {
namespace {

void giveBack(IHostValues* values, const ItemValues& item) {
  values->releaseValue(&item.head);
  values->releaseValue(&item.body);
}

}  // namespace

size_t ReceivedQueue::pushAll(DatagramItems& batch) {
  ItemValues* const entries = batch.items();
  const size_t pushed = batch.size();
  size_t removed = 0;
  {
    std::lock_guard<SpinMutex> lock(queueMutex);
    size_t count = count_.load(std::memory_order_relaxed);
    for (size_t i = 0; i < pushed; ++i) {
      const ItemValues item = entries[i];  // its place may take an evicted item's values
      if (count < Capacity) {
        const size_t last = first_ + count;
        ring_[last < Capacity ? last : last - Capacity] = item;
        ++count;
        continue;
      }
      // Full: the oldest makes room. Its values go to the front of the
      // batch, where every entry is already stored, to be given back once
      // the lock is released.
      entries[removed++] = ring_[first_];
      ring_[first_] = item;
      first_ = first_ + 1 == Capacity ? 0 : first_ + 1;
    }
    count_.store(count, std::memory_order_release);
  }
  // The evicted values wait in the batch's first entries, whose own items
  // are queued by now.
  for (size_t i = 0; i < removed; ++i) giveBack(values_, entries[i]);
  batch.handedOver();
  return removed;
}

std::optional<ReceivedItem> ReceivedQueue::pop() {
  if (count_.load(std::memory_order_acquire) == 0) return std::nullopt;
  ItemValues oldest;
  {
    std::lock_guard<SpinMutex> lock(queueMutex);
    const size_t count = count_.load(std::memory_order_relaxed);
    if (count == 0) return std::nullopt;
    oldest = ring_[first_];
    first_ = first_ + 1 == Capacity ? 0 : first_ + 1;
    count_.store(count - 1, std::memory_order_release);
  }
  return ReceivedItem(values_, oldest);
}

void ReceivedQueue::clear() {
  while (std::optional<ReceivedItem> item = pop()) {
  }
}

size_t ReceivedQueue::size() const { return count_.load(std::memory_order_acquire); }

}  // namespace zephyx::receive
