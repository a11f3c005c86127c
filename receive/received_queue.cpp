#include "receive/received_queue.h"

#include "common/never_throw.h"

namespace zephyx::receive {

std::unique_ptr<ReceivedItem> ReceivedQueue::push(std::unique_ptr<ReceivedItem> item) {
  std::lock_guard<std::mutex> lock(queueMutex);
  // Appending first and trimming after leaves the same items as trimming
  // first, and keeps the queue whole if the append runs out of memory.
  const bool stored = neverThrow(false, [&] {
    items.push_back(std::move(item));
    return true;
  });
  if (!stored) return item;
  if (items.size() <= ReceivedQueueLimit + 1) return nullptr;
  std::unique_ptr<ReceivedItem> oldest = std::move(items.front());
  items.pop_front();
  return oldest;
}

std::unique_ptr<ReceivedItem> ReceivedQueue::pop() {
  std::lock_guard<std::mutex> lock(queueMutex);
  if (items.empty()) return nullptr;
  std::unique_ptr<ReceivedItem> oldest = std::move(items.front());
  items.pop_front();
  return oldest;
}

std::deque<std::unique_ptr<ReceivedItem>> ReceivedQueue::takeAll() {
  std::deque<std::unique_ptr<ReceivedItem>> all;
  std::lock_guard<std::mutex> lock(queueMutex);
  all.swap(items);
  return all;
}

size_t ReceivedQueue::size() const {
  std::lock_guard<std::mutex> lock(queueMutex);
  return items.size();
}

}  // namespace zephyx::receive
