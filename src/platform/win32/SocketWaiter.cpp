#include "platform/SocketWaiter.h"

#include <winsock2.h>

#include <initializer_list>

namespace platform {
namespace {

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// An auto-reset event, or -1.
intptr_t NewEvent() {
    const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event == nullptr ? -1 : reinterpret_cast<intptr_t>(event);
}

}  // namespace

SocketWaiter::SocketWaiter() : wakeHandle(NewEvent()), socketEvent(NewEvent()) {}

SocketWaiter::~SocketWaiter() {
    for (const intptr_t handle : {wakeHandle, socketEvent}) {
        if (handle != -1) {
            CloseHandle(Native(handle));
        }
    }
}

SocketWaiter::Outcome SocketWaiter::Wait(SocketHandle socket, int32_t timeoutMs) {
    if (wakeHandle == -1 || socketEvent == -1) {
        return Outcome::Failed;
    }
    DWORD count = 1;
    if (socket != kInvalidSocket) {
        // Each receive (each accept) re-arms the read (accept) event, and data (a connection)
        // already waiting signals it at once.
        if (WSAEventSelect(static_cast<SOCKET>(socket), Native(socketEvent),
                           FD_READ | FD_ACCEPT | FD_CLOSE) != 0) {
            return Outcome::Failed;
        }
        count = 2;
    }
    const HANDLE handles[2] = {Native(wakeHandle), Native(socketEvent)};
    const DWORD result = WaitForMultipleObjects(
        count, handles, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    switch (result) {
        case WAIT_OBJECT_0:
            return Outcome::Woken;
        case WAIT_OBJECT_0 + 1:
            return Outcome::Readable;
        case WAIT_TIMEOUT:
            return Outcome::TimedOut;
        default:
            return Outcome::Failed;
    }
}

void SocketWaiter::Wake() {
    if (wakeHandle != -1) {
        SetEvent(Native(wakeHandle));
    }
}

}  // namespace platform
