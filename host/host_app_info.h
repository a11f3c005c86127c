// Information about the host application.
#pragma once

#include "host/moa_unknown.h"

namespace zephyx {

// Info item holding the application's version text, for example "12.0".
constexpr int32_t AppInfoVersionString = 6;
// Size of the buffer the library hands over for the version text.
constexpr int32_t AppVersionBufferSize = 32;

struct IHostAppInfo : IMoaUnknown {
  // Host thread only. Copies the text of info `item` into `buffer`, at most
  // `size` bytes. The text is NUL-terminated only when it is shorter than
  // `size`.
  virtual HostStatus ZX_CALL getInfo(int32_t item, char* buffer, int32_t size) noexcept = 0;

 protected:
  ~IHostAppInfo() = default;
};

}  // namespace zephyx
