// The bounded queue between the receiving thread and the host thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>

#include "common/spin_mutex.h"
#include "receive/datagram_items.h"
#include "receive/received_item.h"

namespace zephyx::receive {

// First in, first out, in a ring that holds the most items that may ever
// wait, so that queueing allocates nothing. The mutex is held for one push
// of a datagram's items or one pop only; values are given back after it is
// released, since that calls the host.
class ReceivedQueue {
 public:
  // A push that finds more than this many items queued first removes the
  // oldest, so at most ReceivedQueueLimit + 1 items wait.
  static constexpr size_t ReceivedQueueLimit = 1024;

  // `values` gives back the values of items that are removed unread.
  explicit ReceivedQueue(IHostValues* values) : values_(values) {}
  ~ReceivedQueue() { clear(); }
  ReceivedQueue(const ReceivedQueue&) = delete;
  ReceivedQueue& operator=(const ReceivedQueue&) = delete;

  // Any thread. Takes over every item of `batch` and pushes them in order,
  // as that many single pushes would, under one lock, so that a datagram's
  // items are queued together; gives back the values of the oldest items
  // that the limit removed, and leaves `batch` empty. Returns how many were
  // removed.
  size_t pushAll(DatagramItems& batch);
  // Any thread. The oldest item, removed, or nothing when the queue is empty.
  std::optional<ReceivedItem> pop();
  // Any thread. Removes every item and gives back its values.
  void clear();
  size_t size() const;

 private:
  static constexpr size_t Capacity = ReceivedQueueLimit + 1;

  IHostValues* values_;
  mutable SpinMutex queueMutex;
  std::array<ItemValues, Capacity> ring_{};  // guarded by queueMutex
  size_t first_ = 0;                         // guarded by queueMutex
  // Written under queueMutex; read without it only to see that the queue
  // is empty, which a host loop that keeps up finds at the end of every pass.
  std::atomic<size_t> count_{0};
};

}  // namespace zephyx::receive
