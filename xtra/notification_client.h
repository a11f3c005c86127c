// The notification client: the host calls it on its own thread to deliver
// what the receiving thread has queued.
#pragma once

#include "host/host_notifications.h"
#include "xtra/interface_object.h"

namespace zephyx::xtra {

class TStdXtra_IMoaNotificationClient final
    : public XtraInterfaceObject<TStdXtra_IMoaNotificationClient, IMoaNotificationClient> {
 public:
  explicit TStdXtra_IMoaNotificationClient(XtraInstance* ownerInstance)
      : XtraInterfaceObject(ownerInstance) {}

  // One delivery pass for the instance behind `refcon`, the scripting
  // object that registered this client. Always returns 0.
  HostStatus ZX_CALL notify(const HostGuid* notification, void* data,
                            void* refcon) noexcept override;
};

HostStatus ZX_CALL createNotificationClient(void* instance, void** out) noexcept;

}  // namespace zephyx::xtra
