#include "xtra/process_state.h"

std::atomic<IHostBroker*> sharedBroker{nullptr};
bool isModernHost = false;
int32_t liveInterfaceCount = 0;
