#include "standin/standin_class.h"

#include <utility>

namespace zephyx::standin {

bool describeClass(const HostGuid& classId, DllGetClassFormFn getClassForm,
                   DllGetInterfaceFn getInterface, StandInClass* out) {
  StandInClass cls;
  cls.classId = classId;
  if (getClassForm(&classId, &cls.instanceSize, &cls.create, &cls.destroy) != StatusOk) {
    return false;
  }
  cls.getInterface = [getInterface, classId](void* record, const HostGuid& interfaceId,
                                             void** object) {
    return getInterface(record, &classId, &interfaceId, object);
  };
  *out = std::move(cls);
  return true;
}

}  // namespace zephyx::standin
