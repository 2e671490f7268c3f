#include "platform/Termination.h"

#include <windows.h>

namespace platform {
namespace {

void (*runBeforeEnd)() = nullptr;

// Called by the system on a thread of its own. Returning FALSE hands the event on to the
// default handler, which ends the process.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            runBeforeEnd();
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

bool HandleTerminationRequests(void (*beforeEnd)()) {
    runBeforeEnd = beforeEnd;
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

}  // namespace platform
