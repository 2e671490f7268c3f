#pragma once

#include <cstdint>

namespace platform {

// The system's millisecond counter: milliseconds since the system started, wrapping at 2^32.
uint32_t TimeGetTime();

}  // namespace platform
