#include "standin/standin_lists.h"

namespace zephyx::standin {

StandInLists::StandInLists(ValueTable& table) : HostService(hostids::ListService), table_(table) {}

ValueSlot* StandInLists::live(const HostValue* value) {
  if (value == nullptr || sameValue(*value, VoidValue)) return nullptr;
  ValueSlot* slot = table_.find(*value);
  if (slot == nullptr) table_.noteStaleUse();
  return slot;
}

HostStatus ZX_CALL StandInLists::newList(HostValue* out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = table_.make(StandInList, [](ValueSlot&) {});
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::newPropList(HostValue* out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = table_.make(StandInPropList, [](ValueSlot&) {});
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::appendToList(const HostValue* list, const HostValue* value) noexcept {
  ValueSlot* slot = live(list);
  if (slot == nullptr || slot->kind != StandInList || value == nullptr) return ResultHostFailure;
  if (!table_.retain(*value)) return ResultHostFailure;
  slot->items.push_back(*value);
  return StatusOk;
}

HostStatus ZX_CALL StandInLists::addProp(const HostValue* propList, const HostValue* key,
                                         const HostValue* value) noexcept {
  ValueSlot* slot = live(propList);
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
  if (out == nullptr) return ResultHostFailure;
  *out = 0;
  ValueSlot* slot = live(list);
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
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  ValueSlot* slot = live(list);
  if (slot == nullptr || (slot->kind != StandInList && slot->kind != StandInPropList)) {
    return ResultHostFailure;
  }
  return elementAt(slot->items, position, out);
}

HostStatus ZX_CALL StandInLists::propNameAt(const HostValue* propList, int32_t position,
                                            HostValue* out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = VoidValue;
  ValueSlot* slot = live(propList);
  if (slot == nullptr || slot->kind != StandInPropList) return ResultHostFailure;
  return elementAt(slot->keys, position, out);
}

}  // namespace zephyx::standin
