#pragma once

#include <cstdint>

#include "platform/Sockets.h"

namespace platform {

// Lets one thread block until a socket has something for it to read (data, the peer's end of
// the connection, an error, a connection waiting on a listening socket) or until another thread
// wakes it.
class SocketWaiter {
public:
    enum class Outcome { Readable, Woken, TimedOut, Failed };
    static constexpr int32_t kNoTimeLimit = -1;

    SocketWaiter();
    ~SocketWaiter();
    SocketWaiter(const SocketWaiter&) = delete;
    SocketWaiter& operator=(const SocketWaiter&) = delete;

    // Blocks until the socket is readable, Wake is called, or timeoutMs passes (kNoTimeLimit:
    // no limit). With kInvalidSocket only a wake-up or the time ends the wait. A wake-up given
    // while nobody waits ends the next wait at once. Failed when the waiter could not be set up
    // or the system's wait failed: the caller then has to poll.
    Outcome Wait(SocketHandle socket, int32_t timeoutMs);
    // Ends the current wait, or the next one; callable from any thread.
    void Wake();

private:
    intptr_t wakeHandle = -1;
    intptr_t socketEvent = -1;  // where the system signals readiness with an event of its own
};

}  // namespace platform
