// The stand-in host's broker.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "host/host_broker.h"
#include "standin/host_service.h"

namespace zephyx::standin {

class StandInHost;

class StandInBroker final : public HostService<IHostBroker> {
 public:
  explicit StandInBroker(StandInHost& host) : HostService(hostids::Unknown), host_(host) {}

  HostStatus ZX_CALL queryService(const HostGuid* serviceId, void** out) noexcept override;
  HostStatus ZX_CALL createObject(const HostGuid* classId, const HostGuid* interfaceId,
                                  void** out) noexcept override;

  // Set up by the host before any caller can reach the broker.
  void addService(IMoaUnknown* service, const HostGuid& id);
  // While set, queryService for `id` fails.
  void failService(const HostGuid& id, bool fail);

 private:
  struct ServiceEntry {
    HostGuid id;
    IMoaUnknown* service;
    std::atomic<bool> failing{false};
  };

  StandInHost& host_;
  std::vector<std::unique_ptr<ServiceEntry>> services_;
};

}  // namespace zephyx::standin
