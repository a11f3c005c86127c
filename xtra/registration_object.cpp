#include "xtra/registration_object.h"

#include <cstdio>
#include <cstring>

#include "host/host_ids.h"
#include "common/never_throw.h"
#include "xtra/message_table.h"
#include "zephyx_version.h"

namespace zephyx::xtra {

namespace {

constexpr size_t FirstLineSize = 256;

}  // namespace

HostStatus ZX_CALL TStdXtra_IMoaRegister::register_(IHostRegistryCache* cache,
                                                    void* definition) noexcept {
  if (cache == nullptr) return ResultHostFailure;
  return neverThrow(ResultOutOfMemory, [&] {
    IHostRegistryEntry* entry = nullptr;
    HostStatus status =
        cache->addRegistryEntry(definition, &hostids::ZephyxClass, &hostids::MmXScript, &entry);
    if (status != StatusOk) return status;
    if (entry == nullptr) return ResultHostFailure;

    char firstLine[FirstLineSize];
    std::snprintf(firstLine, sizeof firstLine, MessageTableFirstLine, VersionMajorText,
                  VersionMinorText);

    IHostMemory* memory = owner->header.memory;
    const auto blockSize = static_cast<uint32_t>(FirstLineSize + sizeof MessageTableMethodLines);
    auto* table = static_cast<char*>(memory->allocate(blockSize));
    if (table == nullptr) return ResultOutOfMemory;
    std::strcpy(table, firstLine);
    std::strcat(table, MessageTableMethodLines);

    status = entry->putEntryValue(RegistryKindText, table, 0, "msgTable");
    if (status == StatusOk) {
      const uint8_t safeForShockwave = 1;
      status = entry->putEntryValue(RegistryKindBoolean, &safeForShockwave, sizeof safeForShockwave,
                                    "safeForShockwave");
    }
    memory->freeMemory(table);
    return status;
  });
}

HostStatus ZX_CALL createRegistrationObject(void* instance, void** out) noexcept {
  return createInterfaceObject<TStdXtra_IMoaRegister>(instance, out);
}

}  // namespace zephyx::xtra
