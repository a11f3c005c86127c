// The stand-in host's store of Lingo values.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_types.h"

namespace zephyx::standin {

// Kind codes. The library tells apart only those of HostValueKind; symbols
// and script objects are the "other" kinds.
enum StandInKind : int32_t {
  StandInVoid = KindVoid,
  StandInInteger = KindInteger,
  StandInSymbol = 2,
  StandInString = KindString,
  StandInFloat = KindFloat,
  StandInList = KindList,
  StandInPropList = KindPropList,
  StandInObject = 11,
  StandInByteArray = KindByteArray,
};

struct ValueHome;

// One value. Its fields are written by the thread that makes it, before the
// value is published, and read afterwards by whoever holds a reference.
// What every call reads or a make and a free write comes first, so that it
// lies in the slot's first cache line; slots start on a line of their own so
// that two threads' values never share one.
struct alignas(64) ValueSlot {
  std::atomic<uint32_t> serial{0};  // 0 while the slot is free
  std::atomic<int32_t> refs{0};
  int32_t kind = StandInVoid;
  int32_t integer = 0;
  double number = 0.0;
  HostSymbol symbol = NoSymbol;

  // The table's bookkeeping.
  uint32_t lastSerial = 0;           // the serial this slot gave out last
  std::atomic<uint32_t> nextFree{0};  // the next free slot while this one is free
  // A free slot a few places further down a handed-back list, 0 if none: a
  // hint for fetching that slot's memory early. Never followed otherwise.
  uint32_t laterFree = 0;
  ValueHome* home = nullptr;         // the free list this slot returns to

  std::string text;               // string bytes (NULs allowed), object name
  std::vector<HostValue> items;   // list elements, property-list values
  std::vector<HostValue> keys;    // property-list keys
  std::vector<uint8_t> bytes;     // byte-array contents
};

// Values live in slots that never move. A HostValue is (slot index, serial):
// a released value's serial no longer matches its slot, so later use or a
// second release is detected instead of touching another value.
//
// Reads take no lock. Each thread that makes values has a home: its own
// free list, which only it touches, and a lock-free stack where other
// threads hand back the slots of its values that they free. A slot always
// returns to the home that made it, so a receiving thread that makes values
// the host thread frees gets every slot back, and neither thread waits for
// the other. Freed slots give back a byte array's memory, and their strings'
// and lists' beyond a few hundred bytes; smaller ones keep it for the slot's
// next value.
class ValueTable {
 public:
  ValueTable();
  ~ValueTable();
  ValueTable(const ValueTable&) = delete;
  ValueTable& operator=(const ValueTable&) = delete;

  // A new slot of `kind` with one reference. `fill` sets its fields before
  // it becomes visible.
  template <typename Fill>
  HostValue make(int32_t kind, Fill&& fill) {
    ValueHome& home = homeOfThisThread();
    const uint32_t index = takeIndex(home);
    ValueSlot& slot = slotAt(index);
    slot.kind = kind;
    fill(slot);
    return publish(home, index, slot);
  }

  // The live slot of `value`, or null when it is VOID, dead or never was.
  // Inline: every read, retain and release starts here.
  ValueSlot* find(const HostValue& value) const {
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
  // Asks for the memory of `value`'s slot without waiting for it. A list's
  // elements were often made on another core: fetched together, their
  // transfers overlap instead of coming one after another. The first two
  // lines (counts, scalars, a string's and a list's headers), and for
  // writing, since a value read on the host thread is usually released
  // there next. Only a hint; any value, dead or never made, is safe here.
  void prefetch(const HostValue& value) const {
    const uint32_t chunkIndex = value.words[0] >> ChunkBits;
    if (chunkIndex >= MaxChunks) return;
    const ValueSlot* chunk = chunks_[chunkIndex].load(std::memory_order_acquire);
    if (chunk == nullptr) return;
    const char* slot = reinterpret_cast<const char*>(&chunk[value.words[0] & (ChunkSize - 1)]);
    __builtin_prefetch(slot, 1);
    __builtin_prefetch(slot + 64, 1);
  }
  // True when `value` is VOID or alive.
  bool isValid(const HostValue& value) const;

  // The live slot of `value`, or null when it is VOID; a value that is not
  // alive is counted as a stale use. For the services' reads.
  ValueSlot* live(const HostValue* value) {
    if (value == nullptr || sameValue(*value, VoidValue)) return nullptr;
    ValueSlot* slot = find(*value);
    if (slot == nullptr) noteStaleUse();
    return slot;
  }

  // False (and counted) when the value is not alive. Inline: every element
  // read from a list costs one of each.
  bool retain(const HostValue& value) {
    if (sameValue(value, VoidValue)) return true;
    ValueSlot* slot = find(value);
    if (slot == nullptr) {
      noteStaleUse();
      return false;
    }
    slot->refs.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  bool release(const HostValue& value) {
    ValueSlot* slot = find(value);
    if (slot == nullptr) return sameValue(value, VoidValue) || countInvalidRelease();
    const int32_t before = slot->refs.fetch_sub(1, std::memory_order_acq_rel);
    if (before > 1) return true;
    if (before <= 0) return countInvalidRelease();
    freeSlot(*slot, value.words[0]);
    return true;
  }

  // Counted whenever an operation meets a value that is no longer alive.
  void noteStaleUse() { staleUses_.fetch_add(1, std::memory_order_relaxed); }

  // Exact while no other thread makes or frees values; meanwhile never more
  // than were alive at some moment during the call.
  int64_t liveCount() const;
  int64_t invalidReleaseCount() const { return invalidReleases_.load(std::memory_order_acquire); }
  int64_t staleUseCount() const { return staleUses_.load(std::memory_order_acquire); }
  // Values made since the table was created.
  int64_t madeCount() const;
  // Slots ever taken: the most values alive at once, plus what free lists
  // of threads that stopped making values still hold.
  int64_t slotCount() const { return nextFresh_.load(std::memory_order_relaxed) - 1; }

 private:
  static constexpr uint32_t ChunkBits = 12;
  static constexpr uint32_t ChunkSize = 1u << ChunkBits;
  static constexpr uint32_t MaxChunks = 1u << 14;

  ValueHome& homeOfThisThread();
  ValueHome& claimHome();
  uint32_t takeIndex(ValueHome& home);
  // Indices handed out always lie in an installed chunk; only a fresh
  // index may need one.
  ValueSlot& slotAt(uint32_t index) {
    ValueSlot* chunk = chunks_[index >> ChunkBits].load(std::memory_order_acquire);
    return chunk[index & (ChunkSize - 1)];
  }
  ValueSlot& freshSlotAt(uint32_t index);
  HostValue publish(ValueHome& home, uint32_t index, ValueSlot& slot);
  // Always false, for release's answer.
  bool countInvalidRelease() {
    invalidReleases_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  // The last reference to `slot` is gone: frees it and what it holds.
  void freeSlot(ValueSlot& slot, uint32_t index);
  void destroy(ValueHome& home, ValueSlot& slot, uint32_t index, std::vector<HostValue>& children);

  const uint64_t id_;  // never reused, unlike the table's address
  std::unique_ptr<std::atomic<ValueSlot*>[]> chunks_;
  std::atomic<uint32_t> nextFresh_{1};  // index 0 is VOID

  mutable std::mutex homesMutex_;
  std::vector<std::shared_ptr<ValueHome>> homes_;  // guarded by homesMutex_

  std::atomic<int64_t> invalidReleases_{0};
  std::atomic<int64_t> staleUses_{0};
};

}  // namespace zephyx::standin
