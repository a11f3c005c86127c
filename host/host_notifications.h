// Repeated calls from the host into the library, on the host thread.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

// Implemented by the library.
struct IMoaNotificationClient : IMoaUnknown {
  // Host thread. Called again and again while the client is registered,
  // with the refcon given at registration. Always returns 0.
  virtual HostStatus ZX_CALL notify(const HostGuid* notification, void* data,
                                    void* refcon) noexcept = 0;

 protected:
  ~IMoaNotificationClient() = default;
};

struct IHostNotifications : IMoaUnknown {
  // Host thread. While registered, the host holds its own reference on the
  // client and calls notify with `refcon` on every pass of its loop.
  virtual HostStatus ZX_CALL registerNotificationClient(IMoaNotificationClient* client,
                                                        void* refcon) noexcept = 0;
  // Host thread. Ends the registration; no notify of this client starts
  // after it returns.
  virtual HostStatus ZX_CALL
  unregisterNotificationClient(IMoaNotificationClient* client) noexcept = 0;

 protected:
  ~IHostNotifications() = default;
};

}  // namespace zephyx
