#include "standin/value_table.h"

#include <atomic>
#include <stdexcept>

namespace zephyx::standin {
namespace {

std::atomic<uint32_t> tablesMade{0};

// Where a fresh slot's serials start: differs between slots and tables, so
// a made-up or foreign handle is unlikely to name a live value.
uint32_t firstSerialOf(uint32_t table, uint32_t index) {
  const uint64_t mixed = (static_cast<uint64_t>(table) << 32 | index) * 0x9e3779b97f4a7c15ull;
  return static_cast<uint32_t>(mixed >> 32);
}

}  // namespace

ValueTable::ValueTable()
    : slots_(1), firstSerial_(tablesMade.fetch_add(1, std::memory_order_relaxed) + 1) {}

uint32_t ValueTable::takeLocked() {
  uint32_t index = freeHead_;
  if (index != 0) {
    freeHead_ = slots_[index].nextFree;
    return index;
  }
  if (slots_.size() >= UINT32_MAX) throw std::length_error("stand-in value table is full");
  index = static_cast<uint32_t>(slots_.size());
  slots_.emplace_back().lastSerial = firstSerialOf(firstSerial_, index);
  return index;
}

HostValue ValueTable::publishLocked(uint32_t index, ValueSlot& slot) {
  slot.serial = slot.lastSerial + 1 == 0 ? 1 : slot.lastSerial + 1;
  slot.lastSerial = slot.serial;
  slot.refs = 1;
  ++made_;
  ++live_;
  return HostValue{{index, slot.serial}};
}

ValueSlot* ValueTable::findLocked(const HostValue& value) const {
  const uint32_t index = value.words[0];
  if (index == 0 || index >= slots_.size()) return nullptr;
  ValueSlot& slot = slots_[index];
  if (slot.serial == 0 || slot.serial != value.words[1]) return nullptr;
  return &slot;
}

ValueSlot* ValueTable::find(const HostValue& value) {
  std::lock_guard<SpinMutex> lock(mutex_);
  return findLocked(value);
}

const ValueSlot* ValueTable::find(const HostValue& value) const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return findLocked(value);
}

bool ValueTable::isValid(const HostValue& value) const {
  return sameValue(value, VoidValue) || find(value) != nullptr;
}

ValueSlot* ValueTable::Locked::live(const HostValue* value) {
  if (value == nullptr || sameValue(*value, VoidValue)) return nullptr;
  ValueSlot* slot = table_.findLocked(*value);
  if (slot == nullptr) ++table_.staleUses_;
  return slot;
}

bool ValueTable::Locked::retain(const HostValue& value) {
  if (sameValue(value, VoidValue)) return true;
  ValueSlot* slot = table_.findLocked(value);
  if (slot == nullptr) {
    ++table_.staleUses_;
    return false;
  }
  ++slot->refs;
  return true;
}

ValueSlot* ValueTable::live(const HostValue* value) {
  return locked([&](Locked& table) { return table.live(value); });
}

bool ValueTable::retain(const HostValue& value) {
  return locked([&](Locked& table) { return table.retain(value); });
}

bool ValueTable::release(const HostValue& value) {
  if (sameValue(value, VoidValue)) return true;
  std::lock_guard<SpinMutex> lock(mutex_);
  return releaseLocked(value);
}

bool ValueTable::releaseLocked(const HostValue& value) {
  ValueSlot* slot = findLocked(value);
  if (slot == nullptr || slot->refs <= 0) {
    ++invalidReleases_;
    return false;
  }
  if (--slot->refs > 0) return true;
  // Containers release what they hold through a work list rather than
  // recursion, since received arrays may nest thousands deep.
  std::vector<HostValue> pending;
  freeLocked(value.words[0], *slot, pending);
  while (!pending.empty()) {
    const HostValue element = pending.back();
    pending.pop_back();
    if (sameValue(element, VoidValue)) continue;
    ValueSlot* held = findLocked(element);
    if (held == nullptr || held->refs <= 0) {
      ++invalidReleases_;
      continue;
    }
    if (--held->refs == 0) freeLocked(element.words[0], *held, pending);
  }
  return true;
}

void ValueTable::freeLocked(uint32_t index, ValueSlot& slot, std::vector<HostValue>& pending) {
  pending.insert(pending.end(), slot.items.begin(), slot.items.end());
  pending.insert(pending.end(), slot.keys.begin(), slot.keys.end());
  // Emptied for the next value made in it; a free slot holds no memory, so
  // the table's size follows the values alive rather than the largest ever.
  const uint32_t lastSerial = slot.lastSerial;
  slot = ValueSlot{};
  slot.lastSerial = lastSerial;
  slot.nextFree = freeHead_;
  freeHead_ = index;
  --live_;
}

void ValueTable::noteStaleUse() {
  std::lock_guard<SpinMutex> lock(mutex_);
  ++staleUses_;
}

int64_t ValueTable::liveCount() const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return live_;
}

int64_t ValueTable::invalidReleaseCount() const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return invalidReleases_;
}

int64_t ValueTable::staleUseCount() const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return staleUses_;
}

int64_t ValueTable::madeCount() const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return made_;
}

int64_t ValueTable::slotCount() const {
  std::lock_guard<SpinMutex> lock(mutex_);
  return static_cast<int64_t>(slots_.size()) - 1;
}

}  // namespace zephyx::standin
