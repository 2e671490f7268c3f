#include "SimulatedHidBus.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace testsupport {
namespace {

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Counts itself among the pad's open handles while it lives.
class CountedHandle {
public:
    CountedHandle(int fd, std::shared_ptr<std::atomic<int>> counter)
        : fd(fd), counter(std::move(counter)) {
        ++*this->counter;
    }
    ~CountedHandle() {
        close(fd);
        --*counter;
    }
    CountedHandle(const CountedHandle&) = delete;
    CountedHandle& operator=(const CountedHandle&) = delete;

    const int fd;

private:
    std::shared_ptr<std::atomic<int>> counter;
};

class SimulatedWriter final : public platform::HidDevice {
public:
    SimulatedWriter(int fd, std::shared_ptr<std::atomic<int>> counter)
        : handle(fd, std::move(counter)) {}

    bool WriteReport(const uint8_t* report, int32_t length) override {
        const ssize_t sent = send(handle.fd, report, static_cast<size_t>(length), MSG_NOSIGNAL);
        return sent == length;
    }

private:
    CountedHandle handle;
};

class SimulatedReader final : public platform::HidReportReader {
public:
    SimulatedReader(int fd, int32_t inputReportLength, std::shared_ptr<std::atomic<int>> counter)
        : handle(fd, std::move(counter)),
          cancelSignal(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          inputReportLength(inputReportLength) {}
    ~SimulatedReader() override { close(cancelSignal); }

    platform::HidReadStatus ReadReport(uint8_t* buffer, int32_t capacity,
                                       int32_t& received) override {
        received = 0;
        for (;;) {
            pollfd waits[2] = {{cancelSignal, POLLIN, 0}, {handle.fd, POLLIN, 0}};
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return platform::HidReadStatus::kFailed;
            }
            if ((waits[0].revents & POLLIN) != 0) {
                return platform::HidReadStatus::kCancelled;
            }
            if ((waits[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                uint8_t report[4096];
                const ssize_t count = recv(handle.fd, report, sizeof report, MSG_DONTWAIT);
                if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                    continue;
                }
                return Take(report, count, buffer, capacity, received);
            }
        }
    }

    void Cancel() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(cancelSignal, &one, sizeof one);
    }

private:
    // One report as the backend presents it: as sent, zero-padded to the report length.
    platform::HidReadStatus Take(const uint8_t* report, ssize_t count, uint8_t* buffer,
                                 int32_t capacity, int32_t& received) {
        if (count <= 0) {
            return platform::HidReadStatus::kGone;  // the pad has hung up
        }
        const int32_t room = std::max(capacity, 0);
        std::fill_n(buffer, std::min(room, inputReportLength), uint8_t{0});
        received = std::min(static_cast<int32_t>(count), room);
        std::memcpy(buffer, report, static_cast<size_t>(received));
        return platform::HidReadStatus::kReport;
    }

    CountedHandle handle;
    const int cancelSignal;
    const int32_t inputReportLength;
};

}  // namespace

SimulatedHidPad::SimulatedHidPad(const platform::HidInterface& description)
    : description(description), openHandles(std::make_shared<std::atomic<int>>(0)) {
    int input[2];
    int output[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, input) == 0) {
        padInput = input[0];
        hostInput = input[1];
    }
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, output) == 0) {
        padOutput = output[0];
        hostOutput = output[1];
    }
}

SimulatedHidPad::~SimulatedHidPad() {
    CloseIfOpen(padInput);
    CloseIfOpen(hostInput);
    CloseIfOpen(padOutput);
    CloseIfOpen(hostOutput);
}

bool SimulatedHidPad::SendInputReport(const std::vector<uint8_t>& report) {
    const ssize_t sent = send(padInput, report.data(), report.size(), MSG_NOSIGNAL);
    return sent == static_cast<ssize_t>(report.size());
}

bool SimulatedHidPad::ReceiveOutputReport(std::vector<uint8_t>& report,
                                          std::chrono::milliseconds timeout) {
    pollfd wait{padOutput, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(timeout.count())) <= 0) {
        return false;
    }
    uint8_t buffer[4096];
    const ssize_t count = recv(padOutput, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count <= 0) {
        return false;
    }
    report.assign(buffer, buffer + count);
    return true;
}

void SimulatedHidPad::Unplug() {
    plugged = false;
    CloseIfOpen(padInput);
    CloseIfOpen(padOutput);
}

std::unique_ptr<platform::HidDevice> SimulatedHidPad::Open() {
    if (!plugged || refusesOpens) {
        return nullptr;
    }
    return std::make_unique<SimulatedWriter>(dup(hostOutput), openHandles);
}

std::unique_ptr<platform::HidReportReader> SimulatedHidPad::OpenReader() {
    if (!plugged || refusesOpens) {
        return nullptr;
    }
    return std::make_unique<SimulatedReader>(dup(hostInput), description.inputReportLength,
                                             openHandles);
}

SimulatedHidPad& SimulatedHidBus::Plug(uint16_t vendorId, uint16_t productId,
                                       int32_t inputReportLength, int32_t outputReportLength) {
    std::lock_guard<std::mutex> hold(lock);
    platform::HidInterface description;
    description.path = "/sim/hidraw" + std::to_string(pads.size());
    description.vendorId = vendorId;
    description.productId = productId;
    description.inputReportLength = inputReportLength;
    description.outputReportLength = outputReportLength;
    pads.push_back(std::make_unique<SimulatedHidPad>(description));
    return *pads.back();
}

std::vector<platform::HidInterface> SimulatedHidBus::EnumerateInterfaces() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<platform::HidInterface> present;
    for (const auto& pad : pads) {
        if (pad->Plugged()) {
            present.push_back(pad->Description());
        }
    }
    return present;
}

std::unique_ptr<platform::HidDevice> SimulatedHidBus::OpenDevice(const std::string& path) {
    SimulatedHidPad* pad = Find(path);
    return pad != nullptr ? pad->Open() : nullptr;
}

std::unique_ptr<platform::HidReportReader> SimulatedHidBus::OpenReader(const std::string& path) {
    SimulatedHidPad* pad = Find(path);
    return pad != nullptr ? pad->OpenReader() : nullptr;
}

SimulatedHidPad* SimulatedHidBus::Find(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock);
    for (const auto& pad : pads) {
        if (pad->Description().path == path) {
            return pad.get();
        }
    }
    return nullptr;
}

}  // namespace testsupport
