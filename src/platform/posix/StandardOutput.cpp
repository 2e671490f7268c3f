#include "platform/StandardOutput.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace platform {
namespace {

// Blocks until standard output can take more bytes or has failed; the next write tells which.
bool WaitUntilWritable() {
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    int ready;
    while ((ready = poll(&output, 1, -1)) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

}  // namespace

bool WriteToStandardOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
            continue;
        }
        const bool wouldBlock = written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (wouldBlock ? !WaitUntilWritable() : !(written < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

}  // namespace platform
