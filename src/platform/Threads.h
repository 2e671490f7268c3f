#pragma once

#include <cstdint>

namespace platform {

// A number that identifies the calling thread among the threads of the system.
uint32_t CurrentThreadId();

// Raises the calling thread to the highest priority the process may set; where it may not
// raise it at all, the thread keeps its priority and nothing is reported.
void RaiseCurrentThreadPriority();

}  // namespace platform
