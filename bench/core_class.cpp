#include "core_class.h"

#include "host/host_ids.h"
#include "xtra/library_entry_points.h"

namespace zephyx::bench {

using xtra::DllGetClassForm;
using xtra::DllGetInterface;

standin::StandInClass coreClass() {
  standin::StandInClass cls;
  cls.classId = hostids::ZephyxClass;
  DllGetClassForm(&cls.classId, &cls.instanceSize, &cls.create, &cls.destroy);
  cls.getInterface = [](void* record, const HostGuid& interfaceId, void** out) {
    return DllGetInterface(record, &hostids::ZephyxClass, &interfaceId, out);
  };
  return cls;
}

}  // namespace zephyx::bench
