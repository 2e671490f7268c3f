#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>  // needs the types of windows.h

namespace platform {

uint32_t TimeGetTime() {
    return static_cast<uint32_t>(timeGetTime());
}

}  // namespace platform
