#include "tests/support/core_class.h"

#include "host/host_ids.h"
#include "xtra/class_description.h"

extern "C" HostStatus ZX_CALL DllGetClassForm(const HostGuid* classId, int32_t* instanceSize,
                                             CreateInstanceFn* create, DestroyInstanceFn* destroy);
extern "C" HostStatus ZX_CALL DllGetInterface(void* instance, const HostGuid* classId,
                                             const HostGuid* interfaceId, void** out);

namespace testsupport {

standin::StandInClass coreClass() {
  standin::StandInClass cls;
  cls.classId = hostids::ZephyxClass;
  DllGetClassForm(&cls.classId, &cls.instanceSize, &cls.create, &cls.destroy);
  cls.getInterface = [](void* record, const HostGuid& interfaceId, void** out) {
    return DllGetInterface(record, &hostids::ZephyxClass, &interfaceId, out);
  };
  return cls;
}

}  // namespace testsupport
