#include "platform/Threads.h"

#include <windows.h>

namespace platform {

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(GetCurrentThreadId());
}

void RaiseCurrentThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

}  // namespace platform
