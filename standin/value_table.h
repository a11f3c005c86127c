// The stand-in host's store of Lingo values.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/spin_mutex.h"
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

// One value. Its fields are written by the thread that makes it, before the
// handle is returned, and afterwards only by a holder of the value (a list
// being built); the table's mutex orders those writes with later reads.
struct ValueSlot {
  int32_t kind = StandInVoid;
  int32_t integer = 0;
  double number = 0.0;
  HostSymbol symbol = NoSymbol;
  std::string text;              // string bytes (NULs allowed), object name
  std::vector<HostValue> items;  // list elements, property-list values
  std::vector<HostValue> keys;   // property-list keys
  std::vector<uint8_t> bytes;    // byte-array contents

  // The table's bookkeeping, guarded by its mutex.
  uint32_t serial = 0;  // 0 while the slot is free
  uint32_t lastSerial = 0;
  int32_t refs = 0;
  uint32_t nextFree = 0;  // the next free slot while this one is free
};

// Values live in slots that never move. A HostValue is (slot index, serial):
// a released value's serial no longer matches its slot, so later use or a
// second release is detected instead of touching another value. One lock
// guards the table; any thread may call any operation.
class ValueTable {
 public:
  ValueTable();
  ValueTable(const ValueTable&) = delete;
  ValueTable& operator=(const ValueTable&) = delete;

  // A new value of `kind` with one reference. `fill` sets its fields before
  // the handle exists, under the table's lock: it must not call the table.
  template <typename Fill>
  HostValue make(int32_t kind, Fill&& fill) {
    std::lock_guard<SpinMutex> lock(mutex_);
    const uint32_t index = takeLocked();
    ValueSlot& slot = slots_[index];
    slot.kind = kind;
    fill(slot);
    return publishLocked(index, slot);
  }

  // For the services: a new value as make() gives it, or VOID once the
  // injected failure below has begun.
  template <typename Fill>
  HostValue makeForService(int32_t kind, Fill&& fill) {
    if (serviceMakes_.fetch_sub(1, std::memory_order_acq_rel) <= 0) {
      serviceMakes_.store(0, std::memory_order_release);
      return VoidValue;
    }
    return make(kind, std::forward<Fill>(fill));
  }
  // Failure injection, as a host out of memory: once `succeeding` more
  // values have been made through the services, every service that makes
  // a value fails (VOID and a failure status) until stopFailingMakes.
  void failMakesAfter(int64_t succeeding) {
    serviceMakes_.store(succeeding, std::memory_order_release);
  }
  void stopFailingMakes() { serviceMakes_.store(NotFailing, std::memory_order_release); }

  // The table while its lock is held, for what a service does in one step.
  class Locked {
   public:
    // As the table's own operations below, without taking the lock again.
    ValueSlot* find(const HostValue& value) const { return table_.findLocked(value); }
    ValueSlot* live(const HostValue* value);
    bool retain(const HostValue& value);
    void noteStaleUse() { ++table_.staleUses_; }

   private:
    friend class ValueTable;
    explicit Locked(const ValueTable& table) : table_(const_cast<ValueTable&>(table)) {}
    ValueTable& table_;
  };

  // Runs `work` with the lock held and returns what it returns. `work` must
  // not call the table's other operations, nor anything that does.
  template <typename Work>
  decltype(auto) locked(Work&& work) {
    std::lock_guard<SpinMutex> lock(mutex_);
    Locked view(*this);
    return work(view);
  }
  template <typename Work>
  decltype(auto) locked(Work&& work) const {
    std::lock_guard<SpinMutex> lock(mutex_);
    const Locked view(*this);
    return work(view);
  }

  // The live slot of `value`, or null when it is VOID, dead or never was.
  // The slot stays where it is while the caller holds a reference.
  ValueSlot* find(const HostValue& value);
  const ValueSlot* find(const HostValue& value) const;
  // True when `value` is VOID or alive.
  bool isValid(const HostValue& value) const;
  // The live slot of `value`, or null when it is VOID; a value that is not
  // alive is counted as a stale use. For the services' reads.
  ValueSlot* live(const HostValue* value);

  // False (and counted) when the value is not alive; VOID is always fine.
  bool retain(const HostValue& value);
  bool release(const HostValue& value);
  // Counted whenever an operation meets a value that is no longer alive.
  void noteStaleUse();

  int64_t liveCount() const;
  int64_t invalidReleaseCount() const;
  int64_t staleUseCount() const;
  // Values made since the table was created.
  int64_t madeCount() const;
  // Slots ever taken: the most values that were alive at once.
  int64_t slotCount() const;

 private:
  // A free slot's index, the slot empty. Caller holds mutex_.
  uint32_t takeLocked();
  // Gives the filled slot its serial and one reference. Caller holds mutex_.
  HostValue publishLocked(uint32_t index, ValueSlot& slot);
  ValueSlot* findLocked(const HostValue& value) const;
  // Drops one reference; frees the slot, and what a container holds, when
  // it was the last. Caller holds mutex_.
  bool releaseLocked(const HostValue& value);
  // Empties a slot whose last reference went, adds what it held to
  // `pending` and puts the slot on the free list. Caller holds mutex_.
  void freeLocked(uint32_t index, ValueSlot& slot, std::vector<HostValue>& pending);

  // Far more values than any run makes: no injected failure.
  static constexpr int64_t NotFailing = INT64_MAX / 2;
  // Values the services may still make before they fail.
  std::atomic<int64_t> serviceMakes_{NotFailing};

  // Held for one value operation at a time.
  mutable SpinMutex mutex_;
  // A deque, so that slots never move as the table grows. Index 0 is VOID.
  mutable std::deque<ValueSlot> slots_;  // guarded by mutex_
  uint32_t freeHead_ = 0;                // guarded by mutex_
  uint32_t firstSerial_;                 // differs between tables
  int64_t made_ = 0;                     // guarded by mutex_
  int64_t live_ = 0;                     // guarded by mutex_
  int64_t invalidReleases_ = 0;          // guarded by mutex_
  int64_t staleUses_ = 0;                // guarded by mutex_
};

}  // namespace zephyx::standin
