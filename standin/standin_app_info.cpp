#include "standin/standin_app_info.h"

#include <algorithm>
#include <cstring>

namespace zephyx::standin {

HostStatus ZX_CALL StandInAppInfo::getInfo(int32_t item, char* buffer, int32_t size) noexcept {
  calls_.hostThreadOnly();
  if (item != AppInfoVersionString || buffer == nullptr || size <= 0) return ResultHostFailure;
  std::lock_guard<std::mutex> lock(mutex_);
  // Like the real host, a text as long as the buffer arrives without its NUL.
  const size_t room = static_cast<size_t>(size);
  const size_t count = std::min(versionText_.size(), room);
  std::memcpy(buffer, versionText_.data(), count);
  if (count < room) buffer[count] = '\0';
  return StatusOk;
}

void StandInAppInfo::setVersionText(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  versionText_ = std::move(text);
}

}  // namespace zephyx::standin
