#include "xtra/process_state.h"

namespace zephyx::xtra {

IHostBroker* sharedBroker = nullptr;
bool isModernHost = false;
std::atomic<int32_t> liveInterfaceCount{0};

}  // namespace zephyx::xtra
