// The registration interface object: writes the class's registry values.
#pragma once

#include "host/host_registry.h"
#include "xtra/interface_object.h"

namespace zephyx::xtra {

class TStdXtra_IMoaRegister final
    : public XtraInterfaceObject<TStdXtra_IMoaRegister, IMoaRegister> {
 public:
  explicit TStdXtra_IMoaRegister(XtraInstance* ownerInstance)
      : XtraInterfaceObject(ownerInstance) {}

  // Stores the Lingo message table as "msgTable" and "safeForShockwave" as
  // true. The first failing host call decides the result.
  HostStatus ZX_CALL register_(IHostRegistryCache* cache, void* definition) noexcept override;
};

HostStatus ZX_CALL createRegistrationObject(void* instance, void** out) noexcept;

}  // namespace zephyx::xtra
