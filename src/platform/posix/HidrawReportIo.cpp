#include "platform/posix/HidrawReportIo.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// The largest report the kernel hands to hidraw readers.
constexpr size_t kLargestHidrawReport = 16384;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

class HidrawDevice final : public HidDevice {
public:
    explicit HidrawDevice(int fd) : node(fd) {}

    bool WriteReport(const uint8_t* report, int32_t length) override {
        ssize_t written;
        do {
            written = write(node.get(), report, static_cast<size_t>(length));
        } while (written < 0 && errno == EINTR);
        return written == length;
    }

private:
    FileDescriptor node;
};

class HidrawReader final : public HidReportReader {
public:
    HidrawReader(int fd, int cancelFd, bool numberedReports, int32_t inputReportLength)
        : node(fd),
          cancelSignal(cancelFd),
          numberedReports(numberedReports),
          inputReportLength(inputReportLength),
          scratch(kLargestHidrawReport) {}

    HidReadStatus ReadReport(uint8_t* buffer, int32_t capacity, int32_t& received) override {
        received = 0;
        for (;;) {
            pollfd waits[2] = {{cancelSignal.get(), POLLIN, 0}, {node.get(), POLLIN, 0}};
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return HidReadStatus::kFailed;
            }
            if ((waits[0].revents & POLLIN) != 0) {
                return HidReadStatus::kCancelled;
            }
            // Reports still queued are read before a hang-up is believed.
            if ((waits[1].revents & POLLIN) != 0) {
                const ssize_t count = read(node.get(), scratch.data(), scratch.size());
                if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
                    continue;
                }
                return TakeReport(count, buffer, capacity, received);
            }
            if ((waits[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return HidReadStatus::kGone;
            }
        }
    }

    void Cancel() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(cancelSignal.get(), &one, sizeof one);
    }

private:
    HidReadStatus TakeReport(ssize_t count, uint8_t* buffer, int32_t capacity, int32_t& received) {
        if (count < 0) {
            // hidraw answers EIO once the device is gone and its queue is empty.
            return errno == EIO || errno == ENODEV ? HidReadStatus::kGone : HidReadStatus::kFailed;
        }
        if (count == 0) {
            return HidReadStatus::kGone;
        }
        received = PresentInWindowsLayout(static_cast<size_t>(count), buffer, capacity);
        return HidReadStatus::kReport;
    }

    // hidraw hands over a report as the device sent it: with its id byte only when the device
    // numbers its reports. Windows always puts the id byte first, 0 for unnumbered reports.
    int32_t PresentInWindowsLayout(size_t count, uint8_t* buffer, int32_t capacity) const {
        const size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
        const size_t padded = std::min(room, static_cast<size_t>(std::max(inputReportLength, 0)));
        std::fill_n(buffer, padded, uint8_t{0});
        size_t at = 0;
        if (!numberedReports && room > 0) {
            buffer[at++] = 0;
        }
        const size_t copied = std::min(count, room - at);
        if (copied > 0) {
            std::memcpy(buffer + at, scratch.data(), copied);
        }
        return static_cast<int32_t>(at + copied);
    }

    FileDescriptor node;
    FileDescriptor cancelSignal;  // an eventfd, readable once Cancel has been called
    const bool numberedReports;
    const int32_t inputReportLength;
    std::vector<uint8_t> scratch;
};

}  // namespace

std::unique_ptr<HidDevice> MakeHidrawDevice(int fd) {
    return std::make_unique<HidrawDevice>(fd);
}

std::unique_ptr<HidReportReader> MakeHidrawReader(int fd, bool numberedReports,
                                                  int32_t inputReportLength) {
    const int cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd < 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<HidrawReader>(fd, cancelFd, numberedReports, inputReportLength);
}

}  // namespace platform
