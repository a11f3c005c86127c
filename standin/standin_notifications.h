// The stand-in host's notification service and the pump that drives it.
#pragma once

#include <cstdint>
#include <vector>

#include "host/host_notifications.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"

namespace zephyx::standin {

class StandInNotifications final : public HostService<IHostNotifications> {
 public:
  explicit StandInNotifications(HostCalls& calls)
      : HostService(hostids::NotificationService), calls_(calls) {}
  ~StandInNotifications() override;

  HostStatus ZX_CALL registerNotificationClient(IMoaNotificationClient* client,
                                                void* refcon) noexcept override;
  HostStatus ZX_CALL unregisterNotificationClient(IMoaNotificationClient* client) noexcept override;

  // Host thread. One pass of the host loop: calls notify once for every
  // client registered when the pass begins, in registration order, skipping
  // a client that is unregistered during the pass. Each client is held by a
  // reference of the pass for its duration. Returns the number of calls.
  int pump();

  int registrationCount() const { return static_cast<int>(registrations_.size()); }
  int64_t notifyCalls() const { return notifyCalls_; }

 private:
  struct Registration {
    IMoaNotificationClient* client;
    void* refcon;
    uint64_t serial;
  };
  bool isRegistered(uint64_t serial) const;

  HostCalls& calls_;
  std::vector<Registration> registrations_;
  uint64_t nextSerial_ = 1;
  int64_t notifyCalls_ = 0;
};

}  // namespace zephyx::standin
