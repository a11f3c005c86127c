// The five exports through which the host finds the class. Only these are
// visible outside the library. This file must not see <windows.h>, which
// declares two of these names with the system's own types.

#include "xtra/library_entry_points.h"

#include <cstring>

#include "host/host_ids.h"
#include "common/never_throw.h"
#include "host/host_status.h"
#include "xtra/class_description.h"
#include "xtra/instance_lifecycle.h"
#include "xtra/process_state.h"

namespace zephyx::xtra {

namespace {

struct InterfaceSearch {
  const HostGuid* interfaceId;
  InterfaceCreatorFn creator;
};

HostStatus findCreator(const HostGuid&, uint32_t, const HostGuid& interfaceId, uint32_t,
                       InterfaceCreatorFn creator, void* context) {
  auto* search = static_cast<InterfaceSearch*>(context);
  if (interfaceId != *search->interfaceId) return StatusOk;
  search->creator = creator;
  return 1;  // found: stop
}

struct InfoFill {
  ClassInterfaceInfo* entries;
  int32_t count;
};

HostStatus countClass(const HostGuid&, uint32_t, int32_t, CreateInstanceFn, DestroyInstanceFn,
                      void* context) {
  ++static_cast<InfoFill*>(context)->count;
  return StatusOk;
}

HostStatus countInterface(const HostGuid&, uint32_t, const HostGuid&, uint32_t, InterfaceCreatorFn,
                          void* context) {
  ++static_cast<InfoFill*>(context)->count;
  return StatusOk;
}

HostStatus writeClass(const HostGuid& classId, uint32_t classVersion, int32_t, CreateInstanceFn,
                      DestroyInstanceFn, void* context) {
  auto* fill = static_cast<InfoFill*>(context);
  ClassInterfaceInfo& entry = fill->entries[fill->count++];
  entry.classId = classId;
  entry.classVersion = classVersion;
  entry.interfaceId = hostids::ClassEntry;
  entry.interfaceVersion = 1;
  return StatusOk;
}

HostStatus writeInterface(const HostGuid& classId, uint32_t classVersion,
                          const HostGuid& interfaceId, uint32_t interfaceVersion,
                          InterfaceCreatorFn, void* context) {
  auto* fill = static_cast<InfoFill*>(context);
  ClassInterfaceInfo& entry = fill->entries[fill->count++];
  entry.classId = classId;
  entry.classVersion = classVersion;
  entry.interfaceId = interfaceId;
  entry.interfaceVersion = interfaceVersion;
  return StatusOk;
}

}  // namespace

ZX_EXPORT HostStatus ZX_CALL DllGetClassForm(const HostGuid* classId, int32_t* instanceSize,
                                             CreateInstanceFn* create,
                                             DestroyInstanceFn* destroy) noexcept {
  if (classId != nullptr && *classId != hostids::ZephyxClass) return ResultNoClass;
  if (instanceSize != nullptr) *instanceSize = static_cast<int32_t>(sizeof(XtraInstance));
  if (create != nullptr) *create = createInstance;
  if (destroy != nullptr) *destroy = destroyInstance;
  return StatusOk;
}

ZX_EXPORT HostStatus ZX_CALL DllGetInterface(void* instance, const HostGuid* classId,
                                             const HostGuid* interfaceId, void** out) noexcept {
  if (interfaceId == nullptr || out == nullptr) return ResultNoInterface;
  *out = nullptr;
  if (instance == nullptr) return ResultNoInterface;
  InterfaceSearch search{interfaceId, nullptr};
  enumerateClass(classId, nullptr, findCreator, &search);
  if (search.creator == nullptr) return ResultNoInterface;
  return search.creator(instance, out);
}

ZX_EXPORT HostStatus ZX_CALL DllGetClassInfo(IHostMemory* allocator,
                                             ClassInterfaceInfo** out) noexcept {
  return neverThrow(ResultOutOfMemory, [&] {
    if (out == nullptr) return ResultOutOfMemory;
    *out = nullptr;
    if (allocator == nullptr) return ResultOutOfMemory;
    InfoFill fill{nullptr, 0};
    enumerateClass(nullptr, countClass, countInterface, &fill);
    const auto size =
        static_cast<uint32_t>(static_cast<size_t>(fill.count + 1) * sizeof(ClassInterfaceInfo));
    fill.entries = static_cast<ClassInterfaceInfo*>(allocator->allocate(size));
    if (fill.entries == nullptr) return ResultOutOfMemory;
    *out = fill.entries;
    fill.count = 0;
    enumerateClass(nullptr, writeClass, writeInterface, &fill);
    // The closing entry has zero identifiers; its versions are zeroed too,
    // so the host never reads uninitialised bytes.
    std::memset(&fill.entries[fill.count], 0, sizeof(ClassInterfaceInfo));
    return StatusOk;
  });
}

ZX_EXPORT HostStatus ZX_CALL DllGetClassObject(const void*, const void*, void**) noexcept {
  return ResultNoClass;
}

ZX_EXPORT HostStatus ZX_CALL DllCanUnloadNow() noexcept {
  return liveInterfaceCount.load(std::memory_order_acquire) == 0 ? StatusOk : ResultObjectsAlive;
}

}  // namespace zephyx::xtra
