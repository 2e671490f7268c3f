#include "platform/Terminal.h"

#include <windows.h>

namespace platform {

bool StandardInputIsTerminal() {
    // GetConsoleMode succeeds for a console alone; _isatty would also take the NUL device.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace platform
