#include "standin/standin_notifications.h"

#include <algorithm>

namespace zephyx::standin {

StandInNotifications::~StandInNotifications() {
  for (const Registration& registration : registrations_) registration.client->release();
}

HostStatus ZX_CALL StandInNotifications::registerNotificationClient(IMoaNotificationClient* client,
                                                                    void* refcon) noexcept {
  calls_.hostThreadOnly();
  if (client == nullptr) return ResultHostFailure;
  client->addRef();
  registrations_.push_back(Registration{client, refcon, nextSerial_++});
  return StatusOk;
}

HostStatus ZX_CALL
StandInNotifications::unregisterNotificationClient(IMoaNotificationClient* client) noexcept {
  calls_.hostThreadOnly();
  auto found = std::find_if(registrations_.begin(), registrations_.end(),
                            [&](const Registration& r) { return r.client == client; });
  if (found == registrations_.end()) return ResultHostFailure;
  registrations_.erase(found);
  client->release();
  return StatusOk;
}

bool StandInNotifications::isRegistered(uint64_t serial) const {
  return std::any_of(registrations_.begin(), registrations_.end(),
                     [&](const Registration& r) { return r.serial == serial; });
}

int StandInNotifications::pump() {
  const std::vector<Registration> pass = registrations_;
  for (const Registration& registration : pass) registration.client->addRef();
  int calls = 0;
  for (const Registration& registration : pass) {
    if (!isRegistered(registration.serial)) continue;
    ++calls;
    ++notifyCalls_;
    registration.client->notify(nullptr, nullptr, registration.refcon);
  }
  for (const Registration& registration : pass) registration.client->release();
  return calls;
}

}  // namespace zephyx::standin
