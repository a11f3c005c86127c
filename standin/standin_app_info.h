// The stand-in host's application information: a settable version text.
#pragma once

#include <mutex>
#include <string>

#include "host/host_app_info.h"
#include "standin/host_calls.h"
#include "standin/host_service.h"

namespace zephyx::standin {

class StandInAppInfo final : public HostService<IHostAppInfo> {
 public:
  explicit StandInAppInfo(HostCalls& calls) : HostService(hostids::AppInfoService), calls_(calls) {}

  HostStatus ZX_CALL getInfo(int32_t item, char* buffer, int32_t size) noexcept override;

  // The text that getInfo gives for the version item; "12.0" at first.
  void setVersionText(std::string text);

 private:
  HostCalls& calls_;
  std::mutex mutex_;
  std::string versionText_ = "12.0";  // guarded by mutex_
};

}  // namespace zephyx::standin
