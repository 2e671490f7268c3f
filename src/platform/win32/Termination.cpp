#include "platform/Termination.h"

#include <windows.h>

namespace platform {
namespace {

void (*runBeforeEnd)() = nullptr;

// The exit code that the system's own handler gives a process ended by a console event.
constexpr UINT kEndedByConsoleEvent = 0xC000013A;  // STATUS_CONTROL_C_EXIT

// Called by the system on a thread of its own. The process is then ended here rather than by the
// system's handler, whose ExitProcess would run the runtime's exit handlers and static
// destructors while the pump and a reader may still hold their locks.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            runBeforeEnd();
            TerminateProcess(GetCurrentProcess(), kEndedByConsoleEvent);
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
