// The bounded queue between the receiving thread and the host thread.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "receive/received_item.h"

namespace zephyx::receive {

// First in, first out. The mutex is held for one push or one pop only; an
// item removed from the queue is handed back so that its destruction, which
// calls the host, happens after the mutex is released.
class ReceivedQueue {
 public:
  // A push that finds more than this many items queued first removes the
  // oldest, so at most ReceivedQueueLimit + 1 items wait.
  static constexpr size_t ReceivedQueueLimit = 1024;

  // Any thread. Appends `item`; returns the oldest item if the limit
  // removed one (or `item` itself if it could not be stored).
  std::unique_ptr<ReceivedItem> push(std::unique_ptr<ReceivedItem> item);
  // Any thread. The oldest item, removed, or null when the queue is empty.
  std::unique_ptr<ReceivedItem> pop();
  // Any thread. Every item, removed.
  std::deque<std::unique_ptr<ReceivedItem>> takeAll();
  size_t size() const;

 private:
  mutable std::mutex queueMutex;
  std::deque<std::unique_ptr<ReceivedItem>> items;  // guarded by queueMutex
};

}  // namespace zephyx::receive
