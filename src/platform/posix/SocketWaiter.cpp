#include "platform/SocketWaiter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

SocketWaiter::SocketWaiter() {
    wakeHandle = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

SocketWaiter::~SocketWaiter() {
    if (wakeHandle >= 0) {
        close(static_cast<int>(wakeHandle));
    }
}

SocketWaiter::Outcome SocketWaiter::Wait(SocketHandle socket, int32_t timeoutMs) {
    if (wakeHandle < 0) {
        return Outcome::Failed;
    }
    pollfd waits[2] = {{static_cast<int>(wakeHandle), POLLIN, 0},
                       {static_cast<int>(socket), POLLIN, 0}};
    const nfds_t count = socket == kInvalidSocket ? 1 : 2;
    const int ready = poll(waits, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0) {
        return errno == EINTR ? Outcome::TimedOut : Outcome::Failed;
    }
    if (ready == 0) {
        return Outcome::TimedOut;
    }
    if (waits[0].revents != 0) {
        uint64_t wakeUps = 0;
        [[maybe_unused]] const ssize_t taken = read(waits[0].fd, &wakeUps, sizeof wakeUps);
        return Outcome::Woken;
    }
    return Outcome::Readable;
}

void SocketWaiter::Wake() {
    if (wakeHandle < 0) {
        return;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(static_cast<int>(wakeHandle), &one, sizeof one);
}

}  // namespace platform
