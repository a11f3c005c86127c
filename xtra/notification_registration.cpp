#include "xtra/notification_registration.h"

#include <utility>

namespace zephyx::xtra {

bool NotificationRegistration::begin(IHostNotifications* services,
                                     InterfaceRef<IMoaNotificationClient> client,
                                     IMoaMmXScript* refcon) {
  end();
  if (services == nullptr || !client) return false;
  if (services->registerNotificationClient(client.get(), refcon) != StatusOk) return false;
  services_ = services;
  client_ = std::move(client);
  refcon_ = InterfaceRef<IMoaMmXScript>::retain(refcon);
  return true;
}

void NotificationRegistration::end() noexcept {
  // Declared so that the client goes first and the refcon, which may hold
  // the instance's last reference, last.
  InterfaceRef<IMoaMmXScript> refcon = std::move(refcon_);
  InterfaceRef<IMoaNotificationClient> client = std::move(client_);
  IHostNotifications* services = std::exchange(services_, nullptr);
  if (client && services != nullptr) services->unregisterNotificationClient(client.get());
}

}  // namespace zephyx::xtra
