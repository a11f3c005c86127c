// The stand-in host's registry cache: keeps what extensions register.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host_registry.h"
#include "standin/host_service.h"

namespace zephyx::standin {

// A stored registry value: its kind and a copy of its bytes (a text
// without its terminating NUL).
struct RegistryValue {
  int32_t kind = 0;
  std::string bytes;
};

class StandInRegistryEntry final : public IHostRegistryEntry {
 public:
  StandInRegistryEntry(HostGuid classId, HostGuid interfaceId, const std::string* failingKey)
      : classId_(classId), interfaceId_(interfaceId), failingKey_(failingKey) {}
  virtual ~StandInRegistryEntry() = default;

  HostStatus ZX_CALL putEntryValue(int32_t kind, const void* value, int32_t size,
                                   const char* key) noexcept override;

  const HostGuid& classId() const { return classId_; }
  const HostGuid& interfaceId() const { return interfaceId_; }
  const std::map<std::string, RegistryValue>& values() const { return values_; }
  // The value stored under `key`, or null.
  const RegistryValue* find(const std::string& key) const;

 private:
  HostGuid classId_;
  HostGuid interfaceId_;
  const std::string* failingKey_;
  std::map<std::string, RegistryValue> values_;
};

class StandInRegistryCache final : public HostService<IHostRegistryCache> {
 public:
  StandInRegistryCache() : HostService(hostids::Unknown) {}

  HostStatus ZX_CALL addRegistryEntry(void* definition, const HostGuid* classId,
                                      const HostGuid* interfaceId,
                                      IHostRegistryEntry** out) noexcept override;

  // While set, addRegistryEntry fails.
  void failAddEntry(bool fail) { failAddEntry_ = fail; }
  // putEntryValue fails for this key (empty: for none).
  void failPutEntry(const std::string& key) { failingKey_ = key; }

  const std::vector<std::unique_ptr<StandInRegistryEntry>>& entries() const { return entries_; }

 private:
  bool failAddEntry_ = false;
  std::string failingKey_;
  std::vector<std::unique_ptr<StandInRegistryEntry>> entries_;
};

}  // namespace zephyx::standin
