// The lock of the received-item queue.
#pragma once

#include <atomic>
#include <thread>

namespace zephyx::receive {

// A mutex for sections of a few instructions: the queue's lock is held to
// copy a few 16-byte records, and a kernel mutex's lock and unlock cost
// more than that. A waiter spins briefly, then lets other threads run, so
// a holder that was preempted is not starved. Usable with std::lock_guard.
class SpinMutex {
 public:
  void lock() noexcept {
    for (int spins = 0; held_.exchange(true, std::memory_order_acquire); ++spins) {
      while (held_.load(std::memory_order_relaxed)) {
        if (spins >= SpinsBeforeYield) std::this_thread::yield();
        ++spins;
      }
    }
  }
  void unlock() noexcept { held_.store(false, std::memory_order_release); }

 private:
  static constexpr int SpinsBeforeYield = 64;
  std::atomic<bool> held_{false};
};

}  // namespace zephyx::receive
