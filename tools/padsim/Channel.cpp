#include "padsim/Channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace padsim {
namespace {

bool IsSocket(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

IoStatus FailureStatus() {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        return IoStatus::kWouldBlock;
    }
    return IoStatus::kClosed;  // EPIPE, ECONNRESET, EIO (a pseudo-terminal without its user)
}

}  // namespace

Channel::Channel(int fd, bool owned, bool receives, size_t writeUnit)
    : fd_(fd), owned_(owned), receives_(receives), isSocket_(IsSocket(fd)), writeUnit_(writeUnit) {}

Channel::~Channel() {
    if (owned_ && fd_ >= 0) {
        close(fd_);
    }
}

IoStatus Channel::Receive(uint8_t* buffer, size_t capacity, size_t& received) {
    received = 0;
    const ssize_t n = read(fd_, buffer, capacity);
    if (n > 0) {
        received = static_cast<size_t>(n);
        return IoStatus::kOk;
    }
    return n == 0 ? IoStatus::kClosed : FailureStatus();
}

IoStatus Channel::Send(const uint8_t* data, size_t length, size_t& sent) {
    if (writeUnit_ > 0) {
        return SendUnits(data, length, sent);
    }
    sent = 0;
    while (sent < length) {
        const ssize_t n = isSocket_ ? send(fd_, data + sent, length - sent, MSG_NOSIGNAL)
                                    : write(fd_, data + sent, length - sent);
        if (n < 0) {
            return FailureStatus();
        }
        sent += static_cast<size_t>(n);
    }
    return IoStatus::kOk;
}

IoStatus Channel::SendUnits(const uint8_t* data, size_t length, size_t& sent) {
    sent = 0;
    while (length - sent >= writeUnit_) {
        const ssize_t n = write(fd_, data + sent, writeUnit_);
        if (n < 0) {
            return FailureStatus();
        }
        // A pipe takes a write of up to PIPE_BUF bytes whole or not at all.
        sent += static_cast<size_t>(n);
    }
    return IoStatus::kOk;
}

}  // namespace padsim
