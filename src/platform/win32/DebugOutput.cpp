#include "platform/DebugOutput.h"

#include <windows.h>

namespace platform {

void OutputDebugText(const char* text) {
    OutputDebugStringA(text);
}

}  // namespace platform
