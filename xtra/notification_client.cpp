#include "xtra/notification_client.h"

#include "xtra/listening_control.h"
#include "xtra/scripting_object.h"

HostStatus ZX_CALL TStdXtra_IMoaNotificationClient::notify(const HostGuid*, void*, void* refcon) {
  if (refcon == nullptr) return StatusOk;
  try {
    deliverQueuedItems(static_cast<TStdXtra_IMoaMmXScript*>(static_cast<IMoaMmXScript*>(refcon)),
                       this);
  } catch (...) {
  }
  return StatusOk;
}

HostStatus ZX_CALL createNotificationClient(void* instance, void** out) {
  if (out == nullptr) return ResultOutOfMemory;
  try {
    return createInterfaceObject<TStdXtra_IMoaNotificationClient>(
        static_cast<XtraInstance*>(instance), out);
  } catch (...) {
    *out = nullptr;
    return ResultOutOfMemory;
  }
}
