// Every call into the stand-in's services, counted, and those that the host
// contract keeps to the host thread checked against it.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace zephyx::standin {

// The host thread is the thread that made the stand-in host. A call that
// the contract allows only there, made on another thread, is counted, and
// the leak report shows it: a real host would not survive it.
class HostCalls {
 public:
  HostCalls() : hostThread_(std::this_thread::get_id()) {}

  // The start of a service call that any thread may make.
  void anyThread() { calls_.fetch_add(1, std::memory_order_relaxed); }
  // The start of a service call for the host thread only.
  void hostThreadOnly() {
    anyThread();
    if (std::this_thread::get_id() != hostThread_) {
      offHostThread_.fetch_add(1, std::memory_order_relaxed);
    }
  }

  // Calls of the value, list and object services (and byte arrays) so far.
  int64_t count() const { return calls_.load(std::memory_order_relaxed); }
  // Host-thread-only calls made on another thread.
  int64_t offHostThread() const { return offHostThread_.load(std::memory_order_relaxed); }

 private:
  const std::thread::id hostThread_;
  std::atomic<int64_t> calls_{0};
  std::atomic<int64_t> offHostThread_{0};
};

}  // namespace zephyx::standin
