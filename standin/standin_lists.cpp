#include "standin/standin_lists.h"

namespace zephyx::standin {

StandInLists::StandInLists(ValueTable& table, HostCalls& calls)
    : HostService(hostids::ListService), table_(table), calls_(calls) {}

HostStatus ZX_CALL StandInLists::newList(HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.make(StandInList, [](ValueSlot&) {});
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::newPropList(HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = table_.make(StandInPropList, [](ValueSlot&) {});
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::appendToList(const HostValue* list, const HostValue* value) noexcept {
  calls_.anyThread();
  ValueSlot* slot = table_.live(list);
  if (slot == nullptr || slot->kind != StandInList || value == nullptr) return ResultHostFailure;
  if (!table_.retain(*value)) return ResultHostFailure;
  // A list built element by element rarely stops at one: its first
  // allocation skips the smallest steps of growth.
  if (slot->items.capacity() == 0) slot->items.reserve(16);
  slot->items.push_back(*value);
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::addProp(const HostValue* propList, const HostValue* key,
                                         const HostValue* value) noexcept {
  calls_.anyThread();
  ValueSlot* slot = table_.live(propList);
  if (slot == nullptr || slot->kind != StandInPropList || key == nullptr || value == nullptr) {
    return ResultHostFailure;
  }
  if (!table_.isValid(*key) || !table_.isValid(*value)) {
    table_.noteStaleUse();
    return ResultHostFailure;
  }
  table_.retain(*key);
  table_.retain(*value);
  slot->keys.push_back(*key);
  slot->items.push_back(*value);
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::listCount(const HostValue* list, int32_t* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = 0;
  ValueSlot* slot = table_.live(list);
  if (slot == nullptr || (slot->kind != StandInList && slot->kind != StandInPropList)) {
    return ResultHostFailure;
  }
  *out = static_cast<int32_t>(slot->items.size());
  return StatusOk;
}

HostStatus StandInLists::elementAt(const std::vector<HostValue>& elements, int32_t position,
                                   HostValue* out) {
  if (position < 1 || static_cast<size_t>(position) > elements.size()) return ResultHostFailure;
  const HostValue& element = elements[static_cast<size_t>(position) - 1];
  table_.retain(element);
  *out = element;
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::listGetAt(const HostValue* list, int32_t position,
                                           HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  ValueSlot* slot = table_.live(list);
  if (slot == nullptr || (slot->kind != StandInList && slot->kind != StandInPropList)) {
    return ResultHostFailure;
  }
  return elementAt(slot->items, position, out);
}

HostStatus ZX_CALL StandInLists::propNameAt(const HostValue* propList, int32_t position,
                                            HostValue* out) noexcept {
  calls_.anyThread();
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  ValueSlot* slot = table_.live(propList);
  if (slot == nullptr || slot->kind != StandInPropList) return ResultHostFailure;
  return elementAt(slot->keys, position, out);
}

}  // namespace zephyx::standin
