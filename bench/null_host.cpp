#include "null_host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "host/host_ids.h"
#include "host/host_status.h"

namespace zephyx::bench {

const char* const HostCallNames[HostCallCount] = {
    "valueType",     "valueToInteger", "valueToDouble", "valueToSymbol",  "copyString",
    "stringLength",  "lockString",     "unlockString",  "integerToValue", "doubleToValue",
    "symbolToValue", "stringToValue",  "retainValue",   "releaseValue",   "stringToSymbol",
    "newList",       "newPropList",    "appendToList",  "addProp",        "listCount",
    "listGetAt",     "propNameAt",     "valueToObject", "newByteArray",   "getProp",
    "getBytes",      "allocate",       "freeMemory",    "queryService",   "queryInterface",
    "addRef",        "release",
};

namespace {

// The kind code the stand-in reports for symbols: one of the "other" kinds.
constexpr int32_t SymbolKind = 2;

// Made strings all share one text as long as the longest datagram, since a
// blob received as a string is written into the string made for it.
constexpr size_t ScratchTextSize = 65536;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameFolded(const std::string& folded, std::string_view text) {
  if (folded.size() != text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (folded[i] != lowerAscii(text[i])) return false;
  }
  return true;
}

// A float's integer as a host converts it: rounded, saturated, NaN 0.
int32_t roundedInteger(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (number <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::round(number));
}

HostValue handle(size_t index) { return HostValue{{static_cast<uint32_t>(index), 0}}; }

}  // namespace

// The object behind a byte-array value of the table.
class NullByteArray final : public IHostByteArray {
 public:
  NullByteArray(NullHost& host, uint32_t index) : host_(host), index_(index) {}

  HostStatus ZX_CALL queryInterface(const HostGuid* id, void** out) noexcept override {
    ++host_.counts_[CallQueryInterface];
    const bool known = *id == hostids::ByteArray || *id == hostids::Unknown;
    *out = known ? static_cast<IHostByteArray*>(this) : nullptr;
    return known ? StatusOk : ResultNoInterface;
  }
  uint32_t ZX_CALL addRef() noexcept override {
    ++host_.counts_[CallAddRef];
    return 1;
  }
  uint32_t ZX_CALL release() noexcept override {
    ++host_.counts_[CallRelease];
    return 1;
  }
  HostStatus ZX_CALL getProp(HostSymbol property, HostValue* out) noexcept override {
    ++host_.counts_[CallGetProp];
    const bool length = property == host_.lengthSymbol_;
    *out = length ? host_.table_[index_].length : VoidValue;
    return length ? StatusOk : ResultHostFailure;
  }
  HostStatus ZX_CALL getBytes(uint8_t** bytes) noexcept override {
    ++host_.counts_[CallGetBytes];
    *bytes = reinterpret_cast<uint8_t*>(host_.table_[index_].text.data());
    return StatusOk;
  }

 private:
  NullHost& host_;
  uint32_t index_;
};

// Makes each value as one entry with the answers its kind gives; the
// containers' elements sit together, after the elements' own.
class NullHost::TableMaker final : public lingo::ValueMaker {
 public:
  explicit TableMaker(NullHost& host) : host_(host) {}

  HostValue makeInteger(int32_t number) override {
    Entry made = answers(KindInteger);
    made.integer = number;
    made.integerStatus = StatusOk;
    made.number = number;
    made.numberStatus = StatusOk;
    return host_.add(std::move(made));
  }
  HostValue makeFloat(double number) override {
    Entry made = answers(KindFloat);
    made.integer = roundedInteger(number);
    made.integerStatus = StatusOk;
    made.number = number;
    made.numberStatus = StatusOk;
    return host_.add(std::move(made));
  }
  HostValue makeString(std::string bytes) override {
    Entry made = answers(KindString);
    made.text = std::move(bytes);
    return host_.add(std::move(made));
  }
  HostValue makeSymbol(std::string_view name) override {
    return handle(host_.symbolEntries_[host_.intern(name) - 1]);
  }
  HostValue makeByteArray(std::vector<uint8_t> bytes) override {
    Entry made = answers(KindByteArray);
    made.length = makeInteger(static_cast<int32_t>(bytes.size()));
    made.text.assign(bytes.begin(), bytes.end());
    const HostValue value = host_.add(std::move(made));
    host_.table_.back().object = std::make_unique<NullByteArray>(host_, value.words[0]);
    return value;
  }
  HostValue makeList(std::vector<HostValue>&& items) override {
    return container(KindList, std::vector<HostValue>(items.size(), VoidValue), items);
  }
  HostValue makePropList(std::vector<HostValue>&& keys, std::vector<HostValue>&& items) override {
    return container(KindPropList, keys, items);
  }
  void release(const HostValue&) override {}

 private:
  // A value of `kind` that converts to nothing.
  static Entry answers(int32_t kind) {
    Entry made;
    made.kind = kind;
    made.integerStatus = ResultHostFailure;
    made.numberStatus = ResultHostFailure;
    made.symbolStatus = ResultHostFailure;
    return made;
  }

  HostValue container(int32_t kind, const std::vector<HostValue>& keys,
                      const std::vector<HostValue>& items) {
    Entry made = answers(kind);
    made.first = static_cast<uint32_t>(host_.elements_.size());
    made.count = static_cast<uint32_t>(items.size());
    host_.elements_.insert(host_.elements_.end(), items.begin(), items.end());
    host_.names_.insert(host_.names_.end(), keys.begin(), keys.end());
    return host_.add(std::move(made));
  }

  NullHost& host_;
};

NullHost::NullHost() : maker_(std::make_unique<TableMaker>(*this)) {
  table_.emplace_back();  // VOID
  const auto plain = [this](int32_t kind) {
    Entry made;
    made.kind = kind;
    made.symbolStatus = ResultHostFailure;
    return add(std::move(made));
  };
  madeInteger_ = plain(KindInteger);
  madeFloat_ = plain(KindFloat);
  madeList_ = plain(KindList);
  madePropList_ = plain(KindPropList);
  madeByteArray_ = plain(KindByteArray);
  madeString_ = plain(KindString);
  table_[madeString_.words[0]].text.assign(ScratchTextSize, '\0');
  lengthSymbol_ = intern("length");
}

NullHost::~NullHost() = default;

lingo::ValueMaker& NullHost::maker() { return *maker_; }

HostValue NullHost::add(Entry entry) {
  table_.push_back(std::move(entry));
  return handle(table_.size() - 1);
}

HostSymbol NullHost::intern(std::string_view text) {
  for (size_t i = 0; i < symbolNames_.size(); ++i) {
    if (sameFolded(symbolNames_[i], text)) return static_cast<HostSymbol>(i + 1);
  }
  std::string folded(text);
  for (char& c : folded) c = lowerAscii(c);
  symbolNames_.push_back(std::move(folded));
  const auto symbol = static_cast<HostSymbol>(symbolNames_.size());
  Entry value;
  value.kind = SymbolKind;
  value.integerStatus = ResultHostFailure;
  value.numberStatus = ResultHostFailure;
  value.symbol = symbol;
  symbolEntries_.push_back(add(std::move(value)).words[0]);
  return symbol;
}

uint64_t NullHost::totalCalls() const {
  uint64_t total = 0;
  for (uint64_t count : counts_) total += count;
  return total;
}

void NullHost::resetCalls() {
  for (uint64_t& count : counts_) count = 0;
}

// ---- IMoaUnknown ----------------------------------------------------------

HostStatus ZX_CALL NullHost::queryInterface(const HostGuid* id, void** out) noexcept {
  ++counts_[CallQueryInterface];
  const bool known = *id == hostids::Unknown;
  *out = known ? static_cast<IHostValues*>(this) : nullptr;
  return known ? StatusOk : ResultNoInterface;
}

uint32_t ZX_CALL NullHost::addRef() noexcept {
  ++counts_[CallAddRef];
  return 1;
}

uint32_t ZX_CALL NullHost::release() noexcept {
  ++counts_[CallRelease];
  return 1;
}

// ---- IHostValues ----------------------------------------------------------

HostStatus ZX_CALL NullHost::valueType(const HostValue* value, int32_t* kind) noexcept {
  ++counts_[CallValueType];
  *kind = entry(value).kind;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::valueToInteger(const HostValue* value, int32_t* out) noexcept {
  ++counts_[CallValueToInteger];
  const Entry& found = entry(value);
  *out = found.integer;
  return found.integerStatus;
}

HostStatus ZX_CALL NullHost::valueToDouble(const HostValue* value, double* out) noexcept {
  ++counts_[CallValueToDouble];
  const Entry& found = entry(value);
  *out = found.number;
  return found.numberStatus;
}

HostStatus ZX_CALL NullHost::valueToSymbol(const HostValue* value, HostSymbol* out) noexcept {
  ++counts_[CallValueToSymbol];
  const Entry& found = entry(value);
  *out = found.symbol;
  return found.symbolStatus;
}

HostStatus ZX_CALL NullHost::copyString(const HostValue* value, char* buffer,
                                        int32_t capacity) noexcept {
  ++counts_[CallCopyString];
  if (capacity <= 0) return ResultHostFailure;
  const std::string& text = entry(value).text;
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return StatusOk;
}

HostStatus ZX_CALL NullHost::stringLength(const HostValue* value, int32_t* out) noexcept {
  ++counts_[CallStringLength];
  const Entry& found = entry(value);
  const bool string = found.kind == KindString;
  *out = string ? static_cast<int32_t>(found.text.size()) : 0;
  return string ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL NullHost::lockString(const HostValue* value, char** bytes) noexcept {
  ++counts_[CallLockString];
  Entry& found = entry(value);
  const bool string = found.kind == KindString;
  *bytes = string ? found.text.data() : table_[0].text.data();  // VOID's text is empty
  return string ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL NullHost::unlockString(const HostValue*) noexcept {
  ++counts_[CallUnlockString];
  return StatusOk;
}

HostStatus ZX_CALL NullHost::integerToValue(int32_t, HostValue* out) noexcept {
  ++counts_[CallIntegerToValue];
  *out = madeInteger_;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::doubleToValue(double, HostValue* out) noexcept {
  ++counts_[CallDoubleToValue];
  *out = madeFloat_;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::symbolToValue(HostSymbol symbol, HostValue* out) noexcept {
  ++counts_[CallSymbolToValue];
  const bool known = symbol != NoSymbol && symbol <= symbolEntries_.size();
  *out = known ? handle(symbolEntries_[symbol - 1]) : VoidValue;
  return known ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL NullHost::stringToValue(const char*, HostValue* out) noexcept {
  ++counts_[CallStringToValue];
  *out = madeString_;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::retainValue(const HostValue*) noexcept {
  ++counts_[CallRetainValue];
  return StatusOk;
}

HostStatus ZX_CALL NullHost::releaseValue(const HostValue*) noexcept {
  ++counts_[CallReleaseValue];
  return StatusOk;
}

HostStatus ZX_CALL NullHost::stringToSymbol(const char* text, HostSymbol* out) noexcept {
  ++counts_[CallStringToSymbol];
  *out = intern(text);
  return StatusOk;
}

// ---- IHostLists -----------------------------------------------------------

HostStatus ZX_CALL NullHost::newList(HostValue* out) noexcept {
  ++counts_[CallNewList];
  *out = madeList_;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::newPropList(HostValue* out) noexcept {
  ++counts_[CallNewPropList];
  *out = madePropList_;
  return StatusOk;
}

HostStatus ZX_CALL NullHost::appendToList(const HostValue*, const HostValue*) noexcept {
  ++counts_[CallAppendToList];
  return StatusOk;
}

HostStatus ZX_CALL NullHost::addProp(const HostValue*, const HostValue*,
                                     const HostValue*) noexcept {
  ++counts_[CallAddProp];
  return StatusOk;
}

HostStatus ZX_CALL NullHost::listCount(const HostValue* list, int32_t* out) noexcept {
  ++counts_[CallListCount];
  *out = static_cast<int32_t>(entry(list).count);
  return StatusOk;
}

HostStatus ZX_CALL NullHost::listGetAt(const HostValue* list, int32_t position,
                                       HostValue* out) noexcept {
  ++counts_[CallListGetAt];
  const Entry& found = entry(list);
  const bool inside = position >= 1 && static_cast<uint32_t>(position) <= found.count;
  *out = inside ? elements_[found.first + static_cast<uint32_t>(position) - 1] : VoidValue;
  return inside ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL NullHost::propNameAt(const HostValue* propList, int32_t position,
                                        HostValue* out) noexcept {
  ++counts_[CallPropNameAt];
  const Entry& found = entry(propList);
  const bool inside = position >= 1 && static_cast<uint32_t>(position) <= found.count;
  *out = inside ? names_[found.first + static_cast<uint32_t>(position) - 1] : VoidValue;
  return inside ? StatusOk : ResultHostFailure;
}

// ---- IHostObjects ---------------------------------------------------------

HostStatus ZX_CALL NullHost::valueToObject(const HostValue* value, IMoaUnknown** out) noexcept {
  ++counts_[CallValueToObject];
  NullByteArray* object = entry(value).object.get();
  *out = object;
  return object != nullptr ? StatusOk : ResultHostFailure;
}

HostStatus ZX_CALL NullHost::newByteArray(const void*, int32_t, HostValue* out) noexcept {
  ++counts_[CallNewByteArray];
  *out = madeByteArray_;
  return StatusOk;
}

// ---- IHostMemory ----------------------------------------------------------

void* ZX_CALL NullHost::allocate(uint32_t size) noexcept {
  ++counts_[CallAllocate];
  return std::malloc(size);
}

void ZX_CALL NullHost::freeMemory(void* block) noexcept {
  ++counts_[CallFreeMemory];
  std::free(block);
}

// ---- IHostBroker ----------------------------------------------------------

HostStatus ZX_CALL NullHost::queryService(const HostGuid* serviceId, void** out) noexcept {
  ++counts_[CallQueryService];
  *out = nullptr;
  if (*serviceId == hostids::ValueService) *out = static_cast<IHostValues*>(this);
  if (*serviceId == hostids::ListService) *out = static_cast<IHostLists*>(this);
  if (*serviceId == hostids::ObjectService) *out = static_cast<IHostObjects*>(this);
  return *out != nullptr ? StatusOk : ResultNoInterface;
}

HostStatus ZX_CALL NullHost::createObject(const HostGuid*, const HostGuid*, void** out) noexcept {
  *out = nullptr;
  return ResultNoClass;
}

}  // namespace zephyx::bench
