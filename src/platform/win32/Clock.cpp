#include "platform/Clock.h"

#include <mmsystem.h>
#include <windows.h>

namespace platform {

uint32_t TimeGetTime() {
    return static_cast<uint32_t>(timeGetTime());
}

}  // namespace platform
