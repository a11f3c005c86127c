// A lock for sections of a few instructions.
#pragma once

#include <atomic>
#include <thread>

namespace zephyx {

// A mutex for sections of a few instructions, such as copying a few records:
// a kernel mutex's lock and unlock cost more than that, and two threads that
// take it by turns put each other to sleep and wake each other up. A waiter
// spins briefly, then lets other threads run, so that a holder that was
// preempted is not starved. Usable with std::lock_guard.
class SpinMutex {
 public:
  void lock() noexcept {
    for (int spins = 0; held_.exchange(true, std::memory_order_acquire);) {
      while (held_.load(std::memory_order_relaxed)) {
        if (++spins < SpinsBeforeYield) {
          pause();
        } else {
          std::this_thread::yield();
        }
      }
    }
  }
  void unlock() noexcept { held_.store(false, std::memory_order_release); }

 private:
  // About a microsecond of waiting: longer than any holder takes unless it
  // was preempted, and far less than the system call that yielding costs.
  static constexpr int SpinsBeforeYield = 100;

  static void pause() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
  }

  std::atomic<bool> held_{false};
};

}  // namespace zephyx
