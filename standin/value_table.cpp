#include "standin/value_table.h"

#include <functional>
#include <stdexcept>
#include <thread>

namespace zephyx::standin {
namespace {

int stripeOfThisThread(int stripes) {
  thread_local const size_t hash = std::hash<std::thread::id>()(std::this_thread::get_id());
  return static_cast<int>(hash % static_cast<size_t>(stripes));
}

// A slot that held a large payload gives the memory back when it is freed,
// so one huge value does not stay resident for the life of the host.
constexpr size_t KeepCapacity = 4096;

template <typename Container>
void clearKeepingSmall(Container& container) {
  if (container.capacity() > KeepCapacity) {
    Container().swap(container);
  } else {
    container.clear();
  }
}

}  // namespace

ValueTable::ValueTable() : chunks_(new std::atomic<ValueSlot*>[MaxChunks]) {
  for (uint32_t i = 0; i < MaxChunks; ++i) chunks_[i].store(nullptr, std::memory_order_relaxed);
}

ValueTable::~ValueTable() {
  for (uint32_t i = 0; i < MaxChunks; ++i) delete[] chunks_[i].load(std::memory_order_relaxed);
}

ValueSlot& ValueTable::slotAt(uint32_t index) {
  const uint32_t chunkIndex = index >> ChunkBits;
  if (chunkIndex >= MaxChunks) throw std::length_error("stand-in value table is full");
  ValueSlot* chunk = chunks_[chunkIndex].load(std::memory_order_acquire);
  if (chunk == nullptr) {
    auto* fresh = new ValueSlot[ChunkSize];
    if (chunks_[chunkIndex].compare_exchange_strong(chunk, fresh, std::memory_order_acq_rel)) {
      chunk = fresh;
    } else {
      delete[] fresh;  // another thread installed it first; `chunk` holds theirs
    }
  }
  return chunk[index & (ChunkSize - 1)];
}

uint32_t ValueTable::takeIndex() {
  const int own = stripeOfThisThread(Stripes);
  for (int step = 0; step < Stripes; ++step) {
    Stripe& stripe = stripes_[(own + step) % Stripes];
    // Only this thread's own stripe is worth waiting for.
    std::unique_lock<std::mutex> lock(stripe.mutex, std::defer_lock);
    if (step == 0) {
      lock.lock();
    } else if (!lock.try_lock()) {
      continue;
    }
    if (!stripe.freeIndices.empty()) {
      const uint32_t index = stripe.freeIndices.back();
      stripe.freeIndices.pop_back();
      return index;
    }
  }
  return nextFresh_.fetch_add(1, std::memory_order_relaxed);
}

void ValueTable::giveBackIndex(uint32_t index) {
  Stripe& stripe = stripes_[stripeOfThisThread(Stripes)];
  std::lock_guard<std::mutex> lock(stripe.mutex);
  stripe.freeIndices.push_back(index);
}

HostValue ValueTable::publish(uint32_t index, ValueSlot& slot) {
  uint32_t serial = nextSerial_.fetch_add(1, std::memory_order_relaxed);
  if (serial == 0) serial = nextSerial_.fetch_add(1, std::memory_order_relaxed);
  slot.refs.store(1, std::memory_order_relaxed);
  slot.serial.store(serial, std::memory_order_release);
  live_.fetch_add(1, std::memory_order_relaxed);
  made_.fetch_add(1, std::memory_order_relaxed);
  return HostValue{{index, serial}};
}

ValueSlot* ValueTable::find(const HostValue& value) const {
  const uint32_t index = value.words[0];
  if (index == 0) return nullptr;
  const uint32_t chunkIndex = index >> ChunkBits;
  if (chunkIndex >= MaxChunks) return nullptr;
  ValueSlot* chunk = chunks_[chunkIndex].load(std::memory_order_acquire);
  if (chunk == nullptr) return nullptr;
  ValueSlot& slot = chunk[index & (ChunkSize - 1)];
  const uint32_t serial = slot.serial.load(std::memory_order_acquire);
  if (serial == 0 || serial != value.words[1]) return nullptr;
  return &slot;
}

bool ValueTable::isValid(const HostValue& value) const {
  return sameValue(value, VoidValue) || find(value) != nullptr;
}

bool ValueTable::retain(const HostValue& value) {
  if (sameValue(value, VoidValue)) return true;
  ValueSlot* slot = find(value);
  if (slot == nullptr) {
    noteStaleUse();
    return false;
  }
  slot->refs.fetch_add(1, std::memory_order_relaxed);
  return true;
}

bool ValueTable::release(const HostValue& value) {
  if (sameValue(value, VoidValue)) return true;
  ValueSlot* slot = find(value);
  if (slot == nullptr) {
    invalidReleases_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  const int32_t before = slot->refs.fetch_sub(1, std::memory_order_acq_rel);
  if (before <= 0) {
    invalidReleases_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  if (before > 1) return true;

  // Containers release what they hold; done with a work list rather than
  // recursion, since received arrays may nest thousands deep.
  std::vector<HostValue> pending;
  destroy(*slot, value.words[0], pending);
  while (!pending.empty()) {
    const HostValue child = pending.back();
    pending.pop_back();
    ValueSlot* childSlot = find(child);
    if (childSlot == nullptr) {
      invalidReleases_.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    const int32_t childBefore = childSlot->refs.fetch_sub(1, std::memory_order_acq_rel);
    if (childBefore == 1) destroy(*childSlot, child.words[0], pending);
  }
  return true;
}

void ValueTable::destroy(ValueSlot& slot, uint32_t index, std::vector<HostValue>& children) {
  for (const HostValue& item : slot.items) {
    if (!sameValue(item, VoidValue)) children.push_back(item);
  }
  for (const HostValue& key : slot.keys) {
    if (!sameValue(key, VoidValue)) children.push_back(key);
  }
  clearKeepingSmall(slot.items);
  clearKeepingSmall(slot.keys);
  clearKeepingSmall(slot.bytes);
  clearKeepingSmall(slot.text);
  slot.kind = StandInVoid;
  slot.integer = 0;
  slot.number = 0.0;
  slot.symbol = NoSymbol;
  slot.serial.store(0, std::memory_order_release);
  live_.fetch_sub(1, std::memory_order_relaxed);
  giveBackIndex(index);
}

}  // namespace zephyx::standin
