#include "standin/standin_memory.h"

#include <cstdlib>

namespace zephyx::standin {

StandInMemory::StandInMemory() : HostService(hostids::Unknown) {}

StandInMemory::~StandInMemory() {
  for (void* block : blocks_) std::free(block);
}

void* ZX_CALL StandInMemory::allocate(uint32_t size) noexcept {
  int failures = failures_.load(std::memory_order_acquire);
  while (failures > 0) {
    if (failures_.compare_exchange_weak(failures, failures - 1, std::memory_order_acq_rel)) {
      return nullptr;
    }
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  allocations_.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(mutex_);
  blocks_.insert(block);
  return block;
}

void ZX_CALL StandInMemory::freeMemory(void* block) noexcept {
  if (block == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (blocks_.erase(block) == 0) {
      invalidFrees_.fetch_add(1, std::memory_order_relaxed);
      return;
    }
  }
  std::free(block);
}

int64_t StandInMemory::outstandingBlocks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int64_t>(blocks_.size());
}

}  // namespace zephyx::standin
