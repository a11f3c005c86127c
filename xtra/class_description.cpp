#include "xtra/class_description.h"

#include "host/host_ids.h"
#include "xtra/instance_lifecycle.h"
#include "xtra/notification_client.h"
#include "xtra/registration_object.h"
#include "xtra/scripting_object.h"

namespace zephyx::xtra {

namespace {

struct InterfaceEntry {
  const HostGuid* id;
  InterfaceCreatorFn creator;
};

const InterfaceEntry Interfaces[] = {
    {&hostids::Register, createRegistrationObject},
    {&hostids::MmXScript, createScriptingObject},
    {&hostids::NotificationClient, createNotificationClient},
};

}  // namespace

HostStatus enumerateClass(const HostGuid* classId, ClassVisitor classVisitor,
                          InterfaceVisitor interfaceVisitor, void* context) {
  if (classId != nullptr && *classId != hostids::ZephyxClass) return StatusOk;
  if (classVisitor != nullptr) {
    const HostStatus status =
        classVisitor(hostids::ZephyxClass, ClassVersion, static_cast<int32_t>(sizeof(XtraInstance)),
                     createInstance, destroyInstance, context);
    if (status != StatusOk) return status;
  }
  if (interfaceVisitor != nullptr) {
    for (const InterfaceEntry& entry : Interfaces) {
      const HostStatus status = interfaceVisitor(hostids::ZephyxClass, ClassVersion, *entry.id,
                                                 ClassVersion, entry.creator, context);
      if (status != StatusOk) return status;
    }
  }
  return StatusOk;
}

}  // namespace zephyx::xtra
