// The stand-in host's allocator, with a count of blocks and failure injection.
#pragma once

#include <atomic>
#include <mutex>
#include <unordered_set>

#include "host/host_memory.h"
#include "standin/host_service.h"

namespace zephyx::standin {

class StandInMemory final : public HostService<IHostMemory> {
 public:
  StandInMemory();
  ~StandInMemory() override;

  void* ZX_CALL allocate(uint32_t size) noexcept override;
  void ZX_CALL freeMemory(void* block) noexcept override;

  // The next `count` allocations fail.
  void failNextAllocations(int count) { failures_.store(count, std::memory_order_release); }
  int64_t outstandingBlocks() const;
  // Frees of a block that this allocator did not hand out, or already took back.
  int64_t invalidFrees() const { return invalidFrees_.load(std::memory_order_acquire); }
  int64_t allocationCount() const { return allocations_.load(std::memory_order_acquire); }

 private:
  std::atomic<int> failures_{0};
  std::atomic<int64_t> allocations_{0};
  std::atomic<int64_t> invalidFrees_{0};
  mutable std::mutex mutex_;
  std::unordered_set<void*> blocks_;  // guarded by mutex_
};

}  // namespace zephyx::standin
