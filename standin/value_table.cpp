#include "standin/value_table.h"

#include <stdexcept>

namespace zephyx::standin {

// A thread's share of one table. The claiming thread alone touches the
// plain fields; other threads only push onto `remoteHead`.
struct ValueHome {
  std::atomic<bool> claimed{false};
  std::atomic<bool> retired{false};  // its table is gone

  uint32_t localHead = 0;  // free slots of this home, linked through nextFree
  // Slots of another home that this thread freed, handed back in one push.
  ValueHome* batchOwner = nullptr;
  uint32_t batchHead = 0;
  ValueSlot* batchTail = nullptr;
  uint32_t batchCount = 0;
  uint32_t batchRecent[4] = {};  // the batch's latest slots, newest at batchCount % 4
  std::vector<HostValue> children;  // scratch for releasing containers

  // Written by the claiming thread only, read by the counting calls.
  std::atomic<int64_t> made{0};
  std::atomic<int64_t> freed{0};

  // Slots of this home freed by other threads.
  alignas(64) std::atomic<uint32_t> remoteHead{0};
};

namespace {

constexpr uint32_t HandBackBatch = 32;

std::atomic<uint64_t> nextTableId{1};

// Only the owning thread writes, so no read-modify-write is needed.
void bump(std::atomic<int64_t>& counter) {
  counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Pushes the home's batch of another home's slots onto that home's stack.
void handBack(ValueHome& home) {
  if (home.batchCount == 0) return;
  std::atomic<uint32_t>& head = home.batchOwner->remoteHead;
  uint32_t expected = head.load(std::memory_order_relaxed);
  do {
    home.batchTail->nextFree.store(expected, std::memory_order_relaxed);
  } while (!head.compare_exchange_weak(expected, home.batchHead, std::memory_order_release,
                                       std::memory_order_relaxed));
  home.batchOwner = nullptr;
  home.batchTail = nullptr;
  home.batchCount = 0;
}

// The homes this thread claimed, one per table; given up when it exits so
// that a later thread takes over their free slots.
class ThreadHomes {
 public:
  ~ThreadHomes() {
    for (Entry& entry : entries_) {
      if (!entry.home->retired.load(std::memory_order_acquire)) {
        handBack(*entry.home);
        entry.home->claimed.store(false, std::memory_order_release);
      }
    }
  }

  ValueHome* find(uint64_t table) {
    if (table == lastTable_) return lastHome_;
    for (Entry& entry : entries_) {
      if (entry.table == table) {
        lastTable_ = table;
        lastHome_ = entry.home.get();
        return lastHome_;
      }
    }
    return nullptr;
  }

  void add(uint64_t table, std::shared_ptr<ValueHome> home) {
    // Forget homes of tables that are gone; a test may make thousands.
    for (size_t i = entries_.size(); i-- > 0;) {
      if (entries_[i].home->retired.load(std::memory_order_acquire)) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    lastTable_ = table;
    lastHome_ = home.get();
    entries_.push_back(Entry{table, std::move(home)});
  }

 private:
  struct Entry {
    uint64_t table;
    std::shared_ptr<ValueHome> home;
  };
  std::vector<Entry> entries_;
  uint64_t lastTable_ = 0;  // no table has id 0
  ValueHome* lastHome_ = nullptr;
};

thread_local ThreadHomes threadHomes;
// The last table this thread used and its home: plain thread-locals, read
// without the guard that the ThreadHomes object's access costs. The
// stand-in links into executables only, so the cheaper TLS model holds.
__attribute__((tls_model("initial-exec"))) thread_local uint64_t lastTableOfThread = 0;
__attribute__((tls_model("initial-exec"))) thread_local ValueHome* lastHomeOfThread = nullptr;

// Where a fresh slot's serials start: differs between slots and tables, so
// a made-up or foreign handle is unlikely to name a live value.
uint32_t firstSerial(uint64_t table, uint32_t index) {
  uint64_t mixed = (table << 32 | index) * 0x9e3779b97f4a7c15ull;
  return static_cast<uint32_t>(mixed >> 32);
}

template <typename Container>
void giveBackMemory(Container& container) {
  // An empty container's capacity is what it holds without the heap.
  if (container.capacity() > Container().capacity()) Container().swap(container);
  container.clear();
}

// Up to this many bytes a freed slot keeps its container's memory for the
// next value made in it: typical messages then cost no allocation, and a
// slot freed on another thread never hands memory to the allocator of the
// thread that made it. Beyond, the memory goes back as for any free.
constexpr size_t KeptBytes = 256;

template <typename Container>
void keepSmallMemory(Container& container) {
  if (container.capacity() * sizeof(typename Container::value_type) > KeptBytes) {
    giveBackMemory(container);
  } else {
    container.clear();
  }
}

}  // namespace

ValueTable::ValueTable()
    : id_(nextTableId.fetch_add(1, std::memory_order_relaxed)),
      chunks_(new std::atomic<ValueSlot*>[MaxChunks]) {
  for (uint32_t i = 0; i < MaxChunks; ++i) chunks_[i].store(nullptr, std::memory_order_relaxed);
}

ValueTable::~ValueTable() {
  {
    std::lock_guard<std::mutex> lock(homesMutex_);
    for (const auto& home : homes_) home->retired.store(true, std::memory_order_release);
  }
  for (uint32_t i = 0; i < MaxChunks; ++i) delete[] chunks_[i].load(std::memory_order_relaxed);
}

ValueHome& ValueTable::homeOfThisThread() {
  if (lastTableOfThread == id_) return *lastHomeOfThread;
  ValueHome* home = threadHomes.find(id_);
  if (home == nullptr) home = &claimHome();
  lastTableOfThread = id_;
  lastHomeOfThread = home;
  return *home;
}

ValueHome& ValueTable::claimHome() {
  std::lock_guard<std::mutex> lock(homesMutex_);
  for (const auto& home : homes_) {
    bool expected = false;
    if (home->claimed.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
      threadHomes.add(id_, home);
      return *home;
    }
  }
  auto home = std::make_shared<ValueHome>();
  home->claimed.store(true, std::memory_order_relaxed);
  homes_.push_back(home);
  threadHomes.add(id_, home);
  return *home;
}

ValueSlot& ValueTable::freshSlotAt(uint32_t index) {
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

uint32_t ValueTable::takeIndex(ValueHome& home) {
  uint32_t index = home.localHead;
  if (index == 0 && home.remoteHead.load(std::memory_order_relaxed) != 0) {
    index = home.remoteHead.exchange(0, std::memory_order_acquire);
  }
  if (index != 0) {
    const ValueSlot& taken = slotAt(index);
    home.localHead = taken.nextFree.load(std::memory_order_relaxed);
    // The next value made here reads that slot's link first; a slot freed
    // many values ago has left the cache, so ask for it now, and for the
    // one a few places further when the list says which.
    if (home.localHead != 0) __builtin_prefetch(&slotAt(home.localHead), 1);
    if (taken.laterFree != 0) __builtin_prefetch(&slotAt(taken.laterFree), 1);
    return index;
  }
  index = nextFresh_.fetch_add(1, std::memory_order_relaxed);
  freshSlotAt(index).lastSerial = firstSerial(id_, index);
  return index;
}

HostValue ValueTable::publish(ValueHome& home, uint32_t index, ValueSlot& slot) {
  uint32_t serial = slot.lastSerial + 1;
  if (serial == 0) serial = 1;
  slot.lastSerial = serial;
  slot.home = &home;
  slot.refs.store(1, std::memory_order_relaxed);
  slot.serial.store(serial, std::memory_order_release);
  bump(home.made);
  return HostValue{{index, serial}};
}

bool ValueTable::isValid(const HostValue& value) const {
  return sameValue(value, VoidValue) || find(value) != nullptr;
}

void ValueTable::freeSlot(ValueSlot& slot, uint32_t index) {
  // Containers release what they hold; done with a work list rather than
  // recursion, since received arrays may nest thousands deep.
  ValueHome& home = homeOfThisThread();
  std::vector<HostValue>& pending = home.children;
  destroy(home, slot, index, pending);
  while (!pending.empty()) {
    const HostValue child = pending.back();
    pending.pop_back();
    ValueSlot* childSlot = find(child);
    if (childSlot == nullptr) {
      countInvalidRelease();
      continue;
    }
    const int32_t childBefore = childSlot->refs.fetch_sub(1, std::memory_order_acq_rel);
    if (childBefore == 1) destroy(home, *childSlot, child.words[0], pending);
  }
  if (pending.capacity() > 4096) giveBackMemory(pending);
}

void ValueTable::destroy(ValueHome& home, ValueSlot& slot, uint32_t index,
                         std::vector<HostValue>& children) {
  // Only lists hold elements and only byte arrays bytes, so a number's or a
  // string's slot is done with in its first lines: values are often freed
  // on another core than the one that made them, and each line touched is
  // a transfer between the two.
  if (slot.kind == StandInList || slot.kind == StandInPropList) {
    for (const HostValue& item : slot.items) {
      if (sameValue(item, VoidValue)) continue;
      children.push_back(item);
      prefetch(item);
    }
    for (const HostValue& key : slot.keys) {
      if (sameValue(key, VoidValue)) continue;
      children.push_back(key);
      prefetch(key);
    }
    // A free slot holds little memory, so the table's size follows the
    // values alive now rather than the largest each slot ever held.
    keepSmallMemory(slot.items);
    keepSmallMemory(slot.keys);
  }
  if (slot.kind == StandInByteArray) giveBackMemory(slot.bytes);
  keepSmallMemory(slot.text);
  slot.kind = StandInVoid;
  slot.integer = 0;
  slot.number = 0.0;
  slot.symbol = NoSymbol;
  slot.serial.store(0, std::memory_order_release);
  bump(home.freed);

  ValueHome* owner = slot.home;
  if (owner == &home) {
    slot.nextFree.store(home.localHead, std::memory_order_relaxed);
    slot.laterFree = 0;
    home.localHead = index;
    return;
  }
  // Another thread's slot goes back to it, a batch at a time so that the
  // two threads rarely touch the same cache line.
  if (home.batchOwner != owner) handBack(home);
  if (home.batchCount == 0) {
    home.batchOwner = owner;
    home.batchTail = &slot;
    slot.nextFree.store(0, std::memory_order_relaxed);
  } else {
    slot.nextFree.store(home.batchHead, std::memory_order_relaxed);
  }
  // The slot pushed four before this one lies four places below it. The
  // owner takes them back in quick succession, and one cross-core fetch
  // takes longer than a few takes: it asks for that slot ahead of time.
  uint32_t& recent = home.batchRecent[home.batchCount % 4];
  slot.laterFree = home.batchCount >= 4 ? recent : 0;
  recent = index;
  home.batchHead = index;
  if (++home.batchCount == HandBackBatch) handBack(home);
}

int64_t ValueTable::liveCount() const {
  std::lock_guard<std::mutex> lock(homesMutex_);
  // Makes first: a value counted as made but not yet freed was alive.
  int64_t made = 0;
  for (const auto& home : homes_) made += home->made.load(std::memory_order_acquire);
  int64_t freed = 0;
  for (const auto& home : homes_) freed += home->freed.load(std::memory_order_acquire);
  return made - freed;
}

int64_t ValueTable::madeCount() const {
  std::lock_guard<std::mutex> lock(homesMutex_);
  int64_t made = 0;
  for (const auto& home : homes_) made += home->made.load(std::memory_order_acquire);
  return made;
}

}  // namespace zephyx::standin
