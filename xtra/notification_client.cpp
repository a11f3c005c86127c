#include "xtra/notification_client.h"

#include "common/never_throw.h"
#include "xtra/delivery_pass.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

HostStatus ZX_CALL TStdXtra_IMoaNotificationClient::notify(const HostGuid*, void*,
                                                           void* refcon) noexcept {
  if (refcon == nullptr) return StatusOk;
  auto* script = static_cast<TStdXtra_IMoaMmXScript*>(static_cast<IMoaMmXScript*>(refcon));
  neverThrow([&] { deliverQueuedItems(script, this); });
  return StatusOk;
}

HostStatus ZX_CALL createNotificationClient(void* instance, void** out) noexcept {
  return createInterfaceObject<TStdXtra_IMoaNotificationClient>(instance, out);
}

}  // namespace zephyx::xtra
