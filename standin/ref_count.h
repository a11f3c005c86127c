// The stand-in host's one rule for counting references.
#pragma once

#include <atomic>
#include <cstdint>

namespace zephyx::standin {

// An atomic count: any thread may add or drop a reference, as the contract
// allows. Dropping with nothing left is the caller's fault; it is counted
// as an over-release and the count stays at zero, so a test sees it
// instead of a freed object.
class RefCount {
 public:
  explicit RefCount(int32_t initial) : count_(initial) {}
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  // The new count.
  uint32_t add() {
    return static_cast<uint32_t>(count_.fetch_add(1, std::memory_order_relaxed) + 1);
  }

  // The count left, or -1 when there was nothing to drop.
  int32_t drop() {
    int32_t current = count_.load(std::memory_order_acquire);
    do {
      if (current <= 0) {
        overReleases_.fetch_add(1, std::memory_order_relaxed);
        return -1;
      }
    } while (!count_.compare_exchange_weak(current, current - 1, std::memory_order_acq_rel,
                                           std::memory_order_acquire));
    return current - 1;
  }

  // For the answer of IMoaUnknown::release.
  static uint32_t answer(int32_t left) { return static_cast<uint32_t>(left < 0 ? 0 : left); }

  int32_t count() const { return count_.load(std::memory_order_acquire); }
  int32_t overReleases() const { return overReleases_.load(std::memory_order_acquire); }

 private:
  std::atomic<int32_t> count_;
  std::atomic<int32_t> overReleases_{0};
};

}  // namespace zephyx::standin
