// The instance's notification client while the host calls it.
#pragma once

#include "common/interface_ref.h"
#include "host/host_notifications.h"
#include "host/moa_mm_xscript.h"

namespace zephyx::xtra {

// One registration: the client the host calls on every pass of its loop,
// and the refcon the host hands back with each call (the scripting object
// that started listening), one reference on each while registered. Ends
// itself when it goes. Host thread.
class NotificationRegistration {
 public:
  NotificationRegistration() = default;
  ~NotificationRegistration() { end(); }
  NotificationRegistration(const NotificationRegistration&) = delete;
  NotificationRegistration& operator=(const NotificationRegistration&) = delete;

  // Registers `client` with `services`, ending a registration there was.
  // Takes over `client` and retains `refcon`; false, keeping neither, when
  // the host refused. `services` must outlive the registration.
  bool begin(IHostNotifications* services, InterfaceRef<IMoaNotificationClient> client,
             IMoaMmXScript* refcon);
  // Unregisters and gives back both references; nothing when not
  // registered. The references are taken out first: giving back the refcon
  // may end the instance that holds this registration.
  void end() noexcept;

  bool registered() const { return static_cast<bool>(client_); }

 private:
  IHostNotifications* services_ = nullptr;
  InterfaceRef<IMoaNotificationClient> client_;
  InterfaceRef<IMoaMmXScript> refcon_;
};

}  // namespace zephyx::xtra
