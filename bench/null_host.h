// A host for measuring the library alone: every service answers from a
// fixed table built before the measurement and otherwise only counts the
// call, so that what a benchmark sees is the library's own work.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_broker.h"
#include "host/host_lists.h"
#include "host/host_memory.h"
#include "host/host_objects.h"
#include "host/host_values.h"
#include "lingo/lingo_notation.h"

namespace zephyx::bench {

// One counter per operation of the contract.
enum HostCall : int {
  CallValueType,
  CallValueToInteger,
  CallValueToDouble,
  CallValueToSymbol,
  CallCopyString,
  CallStringLength,
  CallLockString,
  CallUnlockString,
  CallIntegerToValue,
  CallDoubleToValue,
  CallSymbolToValue,
  CallStringToValue,
  CallRetainValue,
  CallReleaseValue,
  CallStringToSymbol,
  CallNewList,
  CallNewPropList,
  CallAppendToList,
  CallAddProp,
  CallListCount,
  CallListGetAt,
  CallPropNameAt,
  CallValueToObject,
  CallNewByteArray,
  CallGetProp,
  CallGetBytes,
  CallAllocate,
  CallFreeMemory,
  CallQueryService,
  CallQueryInterface,
  CallAddRef,
  CallRelease,
  HostCallCount
};

extern const char* const HostCallNames[HostCallCount];

class NullByteArray;

// Handles are indices into the table: 0 is VOID, then one entry per kind
// that the value-making calls hand out (all alike, holding nothing), one
// per interned symbol, and the values made through maker(). Reference
// counts are not kept: retain and release only count. One thread at a time.
class NullHost final : public IHostValues,
                       public IHostLists,
                       public IHostObjects,
                       public IHostMemory,
                       public IHostBroker {
 public:
  NullHost();
  ~NullHost();
  NullHost(const NullHost&) = delete;
  NullHost& operator=(const NullHost&) = delete;

  // Adds values to the table, with the answers a host gives for each (a
  // float converts to its rounded integer, a string to no number), for the
  // Lingo parser. Before measuring: this allocates and counts no call.
  lingo::ValueMaker& maker();

  IHostValues* values() { return this; }
  IHostLists* lists() { return this; }
  IHostObjects* objects() { return this; }
  IHostMemory* memory() { return this; }
  IHostBroker* broker() { return this; }

  uint64_t calls(HostCall call) const { return counts_[call]; }
  uint64_t totalCalls() const;
  void resetCalls();

  // IMoaUnknown, shared by the services; the byte arrays count here too.
  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override;
  uint32_t ZX_CALL addRef() noexcept override;
  uint32_t ZX_CALL release() noexcept override;

  // IHostValues
  HostStatus ZX_CALL valueType(const HostValue* value, int32_t* kind) noexcept override;
  HostStatus ZX_CALL valueToInteger(const HostValue* value, int32_t* out) noexcept override;
  HostStatus ZX_CALL valueToDouble(const HostValue* value, double* out) noexcept override;
  HostStatus ZX_CALL valueToSymbol(const HostValue* value, HostSymbol* out) noexcept override;
  HostStatus ZX_CALL copyString(const HostValue* value, char* buffer,
                                int32_t capacity) noexcept override;
  HostStatus ZX_CALL stringLength(const HostValue* value, int32_t* out) noexcept override;
  HostStatus ZX_CALL lockString(const HostValue* value, char** bytes) noexcept override;
  HostStatus ZX_CALL unlockString(const HostValue* value) noexcept override;
  HostStatus ZX_CALL integerToValue(int32_t number, HostValue* out) noexcept override;
  HostStatus ZX_CALL doubleToValue(double number, HostValue* out) noexcept override;
  HostStatus ZX_CALL symbolToValue(HostSymbol symbol, HostValue* out) noexcept override;
  HostStatus ZX_CALL stringToValue(const char* text, HostValue* out) noexcept override;
  HostStatus ZX_CALL retainValue(const HostValue* value) noexcept override;
  HostStatus ZX_CALL releaseValue(const HostValue* value) noexcept override;
  HostStatus ZX_CALL stringToSymbol(const char* text, HostSymbol* out) noexcept override;

  // IHostLists
  HostStatus ZX_CALL newList(HostValue* out) noexcept override;
  HostStatus ZX_CALL newPropList(HostValue* out) noexcept override;
  HostStatus ZX_CALL appendToList(const HostValue* list, const HostValue* value) noexcept override;
  HostStatus ZX_CALL addProp(const HostValue* propList, const HostValue* key,
                             const HostValue* value) noexcept override;
  HostStatus ZX_CALL listCount(const HostValue* list, int32_t* out) noexcept override;
  HostStatus ZX_CALL listGetAt(const HostValue* list, int32_t position,
                               HostValue* out) noexcept override;
  HostStatus ZX_CALL propNameAt(const HostValue* propList, int32_t position,
                                HostValue* out) noexcept override;

  // IHostObjects
  HostStatus ZX_CALL valueToObject(const HostValue* value, IMoaUnknown** out) noexcept override;
  HostStatus ZX_CALL newByteArray(const void* bytes, int32_t size,
                                  HostValue* out) noexcept override;

  // IHostMemory
  void* ZX_CALL allocate(uint32_t size) noexcept override;
  void ZX_CALL freeMemory(void* block) noexcept override;

  // IHostBroker
  HostStatus ZX_CALL queryService(const HostGuid* serviceId, void** out) noexcept override;
  HostStatus ZX_CALL createObject(const HostGuid* classId, const HostGuid* interfaceId,
                                  void** out) noexcept override;

 private:
  friend class NullByteArray;
  class TableMaker;

  struct Entry {
    int32_t kind = KindVoid;
    // What each conversion answers, status included.
    int32_t integer = 0;
    HostStatus integerStatus = StatusOk;
    double number = 0.0;
    HostStatus numberStatus = StatusOk;
    HostSymbol symbol = NoSymbol;
    HostStatus symbolStatus = StatusOk;
    // Strings: their bytes (std::string keeps the NUL after them); byte
    // arrays: their contents.
    std::string text;
    // Lists: elements [first, first + count) of elements_ (and of names_,
    // the keys, for a property list).
    uint32_t first = 0;
    uint32_t count = 0;
    // Byte arrays: the object behind the value, and its "length" value.
    std::unique_ptr<NullByteArray> object;
    HostValue length = VoidValue;
  };

  HostValue add(Entry entry);
  Entry& entry(const HostValue* value) { return table_[value->words[0]]; }
  // The symbol of `text`, interned when new; equal names in any case give
  // the same symbol.
  HostSymbol intern(std::string_view text);

  uint64_t counts_[HostCallCount] = {};
  std::vector<Entry> table_;
  std::vector<HostValue> elements_;
  std::vector<HostValue> names_;
  // Interned names, folded to lower case, searched in order: a few dozen
  // at most. Symbol n is names n - 1, its value the table entry
  // symbolEntries_[n - 1].
  std::vector<std::string> symbolNames_;
  std::vector<uint32_t> symbolEntries_;
  HostSymbol lengthSymbol_ = NoSymbol;
  std::unique_ptr<TableMaker> maker_;
  HostValue madeInteger_, madeFloat_, madeString_, madeList_, madePropList_, madeByteArray_;
};

}  // namespace zephyx::bench
