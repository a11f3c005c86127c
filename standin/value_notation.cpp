#include "standin/value_notation.h"

#include <utility>
#include <vector>

namespace zephyx::standin {
namespace {

using Kind = lingo::ValueReader::Kind;

// Reads slots through a view of the table whose lock the caller holds.
class LockedReader final : public lingo::ValueReader {
 public:
  LockedReader(const ValueTable::Locked& view, const SymbolTable& symbols)
      : view_(view), symbols_(symbols) {}

  Kind kind(const HostValue& value, int32_t* code) override {
    if (sameValue(value, VoidValue)) return Kind::Void;
    const ValueSlot* slot = view_.find(value);
    if (slot == nullptr) return Kind::Dead;
    switch (slot->kind) {
      case StandInVoid:
        return Kind::Void;
      case StandInInteger:
        return Kind::Integer;
      case StandInFloat:
        return Kind::Float;
      case StandInString:
        return Kind::String;
      case StandInSymbol:
        return Kind::Symbol;
      case StandInByteArray:
        return Kind::ByteArray;
      case StandInObject:
        return Kind::Object;
      case StandInList:
        return Kind::List;
      case StandInPropList:
        return Kind::PropList;
      default:
        *code = slot->kind;
        return Kind::Other;
    }
  }

  int32_t integer(const HostValue& value) override { return slot(value).integer; }
  double number(const HostValue& value) override { return slot(value).number; }

  std::string_view contents(const HostValue& value) override {
    const ValueSlot& found = slot(value);
    if (found.kind == StandInSymbol) {
      // Copied: the symbol table hands out names, not views of them.
      name_ = symbols_.name(found.symbol);
      return name_;
    }
    if (found.kind == StandInByteArray) {
      return {reinterpret_cast<const char*>(found.bytes.data()), found.bytes.size()};
    }
    return found.text;
  }

  size_t count(const HostValue& container) override { return slot(container).items.size(); }
  HostValue item(const HostValue& container, size_t index) override {
    const ValueSlot& found = slot(container);
    return index < found.items.size() ? found.items[index] : VoidValue;
  }
  HostValue key(const HostValue& propList, size_t index) override {
    const ValueSlot& found = slot(propList);
    return index < found.keys.size() ? found.keys[index] : VoidValue;
  }
  // A live value's slot and serial are its own.
  uint64_t identity(const HostValue& container) override {
    return (static_cast<uint64_t>(container.words[0]) << 32) | container.words[1];
  }

 private:
  const ValueSlot& slot(const HostValue& value) const {
    const ValueSlot* found = view_.find(value);
    return found != nullptr ? *found : none_;
  }

  const ValueTable::Locked& view_;
  const SymbolTable& symbols_;
  const ValueSlot none_{};
  std::string name_;
};

class TableMaker final : public lingo::ValueMaker {
 public:
  TableMaker(ValueTable& table, SymbolTable& symbols) : table_(table), symbols_(symbols) {}

  HostValue makeInteger(int32_t number) override {
    return table_.make(StandInInteger, [&](ValueSlot& slot) { slot.integer = number; });
  }
  HostValue makeFloat(double number) override {
    return table_.make(StandInFloat, [&](ValueSlot& slot) { slot.number = number; });
  }
  HostValue makeString(std::string bytes) override {
    return table_.make(StandInString, [&](ValueSlot& slot) { slot.text = std::move(bytes); });
  }
  HostValue makeSymbol(std::string_view name) override {
    const HostSymbol symbol = symbols_.intern(name);
    return table_.make(StandInSymbol, [&](ValueSlot& slot) { slot.symbol = symbol; });
  }
  HostValue makeByteArray(std::vector<uint8_t> bytes) override {
    return table_.make(StandInByteArray, [&](ValueSlot& slot) { slot.bytes = std::move(bytes); });
  }
  // The elements move only once the slot is taken, so a full table leaves
  // them with the parser.
  HostValue makeList(std::vector<HostValue>&& items) override {
    return table_.make(StandInList, [&](ValueSlot& slot) { slot.items = std::move(items); });
  }
  HostValue makePropList(std::vector<HostValue>&& keys, std::vector<HostValue>&& items) override {
    return table_.make(StandInPropList, [&](ValueSlot& slot) {
      slot.keys = std::move(keys);
      slot.items = std::move(items);
    });
  }
  void release(const HostValue& value) override { table_.release(value); }

 private:
  ValueTable& table_;
  SymbolTable& symbols_;
};

}  // namespace

std::string formatLingo(const ValueTable& table, const SymbolTable& symbols,
                        const HostValue& value) {
  std::string out;
  appendLingo(out, table, symbols, value);
  return out;
}

void appendLingo(std::string& out, const ValueTable& table, const SymbolTable& symbols,
                 const HostValue& value) {
  table.locked([&](const ValueTable::Locked& view) {
    LockedReader reader(view, symbols);
    lingo::append(out, reader, value);
  });
}

lingo::ParseResult parseLingo(ValueTable& table, SymbolTable& symbols, std::string_view text) {
  TableMaker maker(table, symbols);
  return lingo::parse(maker, text);
}

}  // namespace zephyx::standin
