// The stand-in host's list service.
#pragma once

#include "host/host_lists.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"
#include "standin/value_table.h"

namespace zephyx::standin {

class StandInLists final : public HostService<IHostLists> {
 public:
  StandInLists(ValueTable& table, HostCalls& calls);

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

 private:
  // Stores a new reference to the element at `position` of `elements`.
  static HostStatus elementAt(ValueTable::Locked& table, const std::vector<HostValue>& elements,
                              int32_t position, HostValue* out);

  ValueTable& table_;
  HostCalls& calls_;
};

}  // namespace zephyx::standin
