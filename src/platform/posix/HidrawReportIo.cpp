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
// How many reports the kernel queues for each open hidraw node (HIDRAW_BUFFER_SIZE).
constexpr int32_t kHidrawQueuedReports = 64;

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

    // A read that finds a report, a hang-up or an error at its first look is one the read call
    // itself completed or failed; otherwise it was pending until the wait ended.
    HidReadResult ReadReport(uint8_t* buffer, int32_t capacity) override {
        HidReadResult result;
        result.start = HidReadStart::kCompleted;
        for (int timeout = 0;; timeout = -1) {
            const Readiness ready = Await(timeout);
            if (ready == Readiness::kReport) {
                const ssize_t count = read(node.get(), scratch.data(), scratch.size());
                if (count >= 0 || (errno != EINTR && errno != EAGAIN)) {
                    return TakeReport(count, buffer, capacity, result);
                }
            } else if (ready == Readiness::kCancelled) {
                result.start = HidReadStart::kPending;
                result.status = HidReadStatus::kCancelled;
                return result;
            } else if (ready != Readiness::kNothing) {
                return Ended(result, ready == Readiness::kHungUp ? HidReadStatus::kGone
                                                                 : HidReadStatus::kFailed);
            }
            result.start = HidReadStart::kPending;
        }
    }

    // The kernel keeps a fixed 64 reports for each reader of a hidraw node.
    HidInputBuffers RequestInputBuffers(int32_t) override {
        HidInputBuffers buffers;
        buffers.held = kHidrawQueuedReports;
        return buffers;
    }

    void Cancel() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(cancelSignal.get(), &one, sizeof one);
    }

private:
    enum class Readiness { kNothing, kCancelled, kReport, kHungUp, kError };

    // What the cancel signal and the node show; with a timeout of -1, waits until they show
    // something.
    Readiness Await(int timeout) const {
        for (;;) {
            pollfd waits[2] = {{cancelSignal.get(), POLLIN, 0}, {node.get(), POLLIN, 0}};
            if (poll(waits, 2, timeout) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Readiness::kError;
            }
            if ((waits[0].revents & POLLIN) != 0) {
                return Readiness::kCancelled;
            }
            // Reports still queued are read before a hang-up is believed.
            if ((waits[1].revents & POLLIN) != 0) {
                return Readiness::kReport;
            }
            if ((waits[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return Readiness::kHungUp;
            }
            if (timeout >= 0) {
                return Readiness::kNothing;
            }
        }
    }

    HidReadResult TakeReport(ssize_t count, uint8_t* buffer, int32_t capacity,
                             HidReadResult result) const {
        if (count < 0) {
            // hidraw answers EIO once the device is gone and its queue is empty.
            return Ended(result, errno == EIO || errno == ENODEV ? HidReadStatus::kGone
                                                                 : HidReadStatus::kFailed);
        }
        if (count == 0) {
            return Ended(result, HidReadStatus::kGone);
        }
        result.status = HidReadStatus::kReport;
        result.received = PresentInWindowsLayout(static_cast<size_t>(count), buffer, capacity);
        if (result.start == HidReadStart::kCompleted) {
            result.startBytes = result.received;
        }
        return result;
    }

    // A read that ends without a report at its first look failed in the read call itself.
    static HidReadResult Ended(HidReadResult result, HidReadStatus status) {
        if (result.start == HidReadStart::kCompleted) {
            result.start = HidReadStart::kFailed;
        }
        result.status = status;
        return result;
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
