#include "standin/standin_registry.h"

#include <cstring>

namespace zephyx::standin {

HostStatus ZX_CALL StandInRegistryEntry::putEntryValue(int32_t kind, const void* value,
                                                       int32_t size, const char* key) noexcept {
  if (key == nullptr || value == nullptr || size < 0) return ResultHostFailure;
  if (failingKey_ != nullptr && *failingKey_ == key) return ResultHostFailure;
  RegistryValue stored;
  stored.kind = kind;
  if (kind == RegistryKindText && size == 0) {
    stored.bytes.assign(static_cast<const char*>(value));
  } else {
    stored.bytes.assign(static_cast<const char*>(value), static_cast<size_t>(size));
  }
  values_[key] = std::move(stored);
  return StatusOk;
}

const RegistryValue* StandInRegistryEntry::find(const std::string& key) const {
  auto found = values_.find(key);
  return found == values_.end() ? nullptr : &found->second;
}

HostStatus ZX_CALL StandInRegistryCache::addRegistryEntry(void* /*definition*/,
                                                          const HostGuid* classId,
                                                          const HostGuid* interfaceId,
                                                          IHostRegistryEntry** out) noexcept {
  if (out == nullptr) return ResultHostFailure;
  *out = nullptr;
  if (failAddEntry_ || classId == nullptr || interfaceId == nullptr) return ResultHostFailure;
  entries_.push_back(std::make_unique<StandInRegistryEntry>(*classId, *interfaceId, &failingKey_));
  *out = entries_.back().get();
  return StatusOk;
}

}  // namespace zephyx::standin
