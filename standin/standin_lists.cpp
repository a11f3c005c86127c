#include "standin/standin_lists.h"

namespace zephyx::standin {

StandInLists::StandInLists(ValueTable& table, HostCalls& calls)
    : HostService(hostids::ListService), table_(table), calls_(calls) {}

HostStatus ZX_CALL StandInLists::newList(HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.makeForService(StandInList, [](ValueSlot&) {});
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInLists::newPropList(HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.makeForService(StandInPropList, [](ValueSlot&) {});
  return madeStatus(*out);
}

HostStatus ZX_CALL StandInLists::appendToList(const HostValue* list,
                                              const HostValue* value) noexcept {
  calls_.anyThread();
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(list);
    if (slot == nullptr || slot->kind != StandInList || value == nullptr) return ResultHostFailure;
    if (!table.retain(*value)) return ResultHostFailure;
    slot->items.push_back(*value);
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInLists::addProp(const HostValue* propList, const HostValue* key,
                                         const HostValue* value) noexcept {
  calls_.anyThread();
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    ValueSlot* slot = table.live(propList);
    if (slot == nullptr || slot->kind != StandInPropList || key == nullptr || value == nullptr) {
      return ResultHostFailure;
    }
    const auto alive = [&](const HostValue& held) {
      return sameValue(held, VoidValue) || table.find(held) != nullptr;
    };
    if (!alive(*key) || !alive(*value)) {
      table.noteStaleUse();
      return ResultHostFailure;
    }
    table.retain(*key);
    table.retain(*value);
    slot->keys.push_back(*key);
    slot->items.push_back(*value);
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInLists::listCount(const HostValue* list, int32_t* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = 0;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    const ValueSlot* slot = table.live(list);
    if (slot == nullptr || (slot->kind != StandInList && slot->kind != StandInPropList)) {
      return ResultHostFailure;
    }
    *out = static_cast<int32_t>(slot->items.size());
    return StatusOk;
  });
}

HostStatus ZX_CALL StandInLists::listGetAt(const HostValue* list, int32_t position,
                                           HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    const ValueSlot* slot = table.live(list);
    if (slot == nullptr || (slot->kind != StandInList && slot->kind != StandInPropList)) {
      return ResultHostFailure;
    }
    return elementAt(table, slot->items, position, out);
  });
}

HostStatus ZX_CALL StandInLists::propNameAt(const HostValue* propList, int32_t position,
                                            HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  return table_.locked([&](ValueTable::Locked& table) -> HostStatus {
    const ValueSlot* slot = table.live(propList);
    if (slot == nullptr || slot->kind != StandInPropList) return ResultHostFailure;
    return elementAt(table, slot->keys, position, out);
  });
}

HostStatus StandInLists::elementAt(ValueTable::Locked& table,
                                   const std::vector<HostValue>& elements, int32_t position,
                                   HostValue* out) {
  if (position < 1 || static_cast<size_t>(position) > elements.size()) return ResultHostFailure;
  const HostValue& element = elements[static_cast<size_t>(position) - 1];
  table.retain(element);
  *out = element;
  return StatusOk;
}

}  // namespace zephyx::standin
