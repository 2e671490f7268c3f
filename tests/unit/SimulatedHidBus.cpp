#include "SimulatedHidBus.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>

namespace testsupport {

// Reports from one side to the other. Once the sending side hangs up, nothing more can be
// sent, and a reader takes what is still queued before it sees the hang-up.
class ReportChannel {
public:
    enum class Outcome { kReport, kFault, kHungUp, kCancelled, kTimedOut };

    bool Send(const uint8_t* report, size_t length) {
        return Queue(Entry{false, std::vector<uint8_t>(report, report + length)});
    }

    // The read that takes it fails.
    bool SendFault() { return Queue(Entry{true, {}}); }

    // Waits until something is queued, the sender hangs up or `cancelled` is set; a cancel
    // counts before anything else. `waited` tells whether nothing was there at first.
    Outcome Take(std::vector<uint8_t>& report, const std::atomic<bool>& cancelled, bool& waited) {
        std::unique_lock<std::mutex> hold(lock);
        waited = !cancelled && !Ready();
        if (waited) {
            ++waiting;
            changed.notify_all();
            changed.wait(hold, [&] { return cancelled || Ready(); });
            --waiting;
        }
        return cancelled ? Outcome::kCancelled : Pop(report);
    }

    Outcome TakeWithin(std::vector<uint8_t>& report, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> hold(lock);
        if (!changed.wait_for(hold, timeout, [&] { return Ready(); })) {
            return Outcome::kTimedOut;
        }
        return Pop(report);
    }

    bool AwaitWaitingReader(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, timeout, [&] { return waiting > 0; });
    }

    void HangUp() {
        std::lock_guard<std::mutex> hold(lock);
        hungUp = true;
        changed.notify_all();
    }

    // Wakes every waiting reader, so that one whose cancel flag is now set returns.
    void WakeReaders() {
        std::lock_guard<std::mutex> hold(lock);
        changed.notify_all();
    }

private:
    struct Entry {
        bool fault;
        std::vector<uint8_t> report;
    };

    bool Queue(Entry entry) {
        std::lock_guard<std::mutex> hold(lock);
        if (hungUp) {
            return false;
        }
        entries.push_back(std::move(entry));
        changed.notify_all();
        return true;
    }

    bool Ready() const { return !entries.empty() || hungUp; }

    Outcome Pop(std::vector<uint8_t>& report) {
        if (entries.empty()) {
            return Outcome::kHungUp;
        }
        Entry entry = std::move(entries.front());
        entries.pop_front();
        report = std::move(entry.report);
        return entry.fault ? Outcome::kFault : Outcome::kReport;
    }

    std::mutex lock;
    std::condition_variable changed;
    std::deque<Entry> entries;
    bool hungUp = false;
    int waiting = 0;  // readers blocked in Take
};

namespace {

// Counts itself among the pad's open handles while it lives.
class CountedHandle {
public:
    explicit CountedHandle(std::shared_ptr<std::atomic<int>> counter)
        : counter(std::move(counter)) {
        ++*this->counter;
    }
    ~CountedHandle() { --*counter; }
    CountedHandle(const CountedHandle&) = delete;
    CountedHandle& operator=(const CountedHandle&) = delete;

private:
    std::shared_ptr<std::atomic<int>> counter;
};

class SimulatedWriter final : public platform::HidDevice {
public:
    SimulatedWriter(std::shared_ptr<ReportChannel> output,
                    std::shared_ptr<std::atomic<int>> counter)
        : output(std::move(output)), handle(std::move(counter)) {}

    bool WriteReport(const uint8_t* report, int32_t length) override {
        return output->Send(report, static_cast<size_t>(std::max(length, 0)));
    }

private:
    std::shared_ptr<ReportChannel> output;
    CountedHandle handle;
};

class SimulatedReader final : public platform::HidReportReader {
public:
    SimulatedReader(std::shared_ptr<ReportChannel> input, int32_t inputReportLength,
                    std::shared_ptr<std::atomic<int>> counter)
        : input(std::move(input)),
          handle(std::move(counter)),
          inputReportLength(inputReportLength) {}

    // Like the system's read call: a read that finds something queued completes or fails at
    // once; otherwise it is pending until a report, a fault, a hang-up or a cancel.
    platform::HidReadResult ReadReport(uint8_t* buffer, int32_t capacity) override {
        platform::HidReadResult result;
        std::vector<uint8_t> report;
        bool waited = false;
        const ReportChannel::Outcome outcome = input->Take(report, cancelled, waited);
        const bool atOnce = !waited && outcome != ReportChannel::Outcome::kCancelled;
        switch (outcome) {
            case ReportChannel::Outcome::kReport:
                result.status = platform::HidReadStatus::kReport;
                result.received = Present(report, buffer, capacity);
                result.start = atOnce ? platform::HidReadStart::kCompleted : result.start;
                result.startBytes = atOnce ? result.received : 0;
                return result;
            case ReportChannel::Outcome::kCancelled:
                result.status = platform::HidReadStatus::kCancelled;
                return result;
            default:
                result.status = outcome == ReportChannel::Outcome::kHungUp
                                    ? platform::HidReadStatus::kGone
                                    : platform::HidReadStatus::kFailed;
                result.start = atOnce ? platform::HidReadStart::kFailed : result.start;
                return result;
        }
    }

    void Cancel() override {
        cancelled = true;
        input->WakeReaders();
    }

private:
    // One report as the backend presents it: as sent, zero-padded to the report length.
    int32_t Present(const std::vector<uint8_t>& report, uint8_t* buffer, int32_t capacity) const {
        const int32_t room = std::max(capacity, 0);
        std::fill_n(buffer, std::min(room, inputReportLength), uint8_t{0});
        const int32_t received = std::min(static_cast<int32_t>(report.size()), room);
        std::memcpy(buffer, report.data(), static_cast<size_t>(received));
        return received;
    }

    std::shared_ptr<ReportChannel> input;
    CountedHandle handle;
    const int32_t inputReportLength;
    std::atomic<bool> cancelled{false};
};

}  // namespace

SimulatedHidPad::SimulatedHidPad(const platform::HidInterface& description)
    : description(description),
      input(std::make_shared<ReportChannel>()),
      output(std::make_shared<ReportChannel>()),
      openHandles(std::make_shared<std::atomic<int>>(0)) {}

SimulatedHidPad::~SimulatedHidPad() = default;

bool SimulatedHidPad::SendInputReport(const std::vector<uint8_t>& report) {
    return input->Send(report.data(), report.size());
}

bool SimulatedHidPad::ReceiveOutputReport(std::vector<uint8_t>& report,
                                          std::chrono::milliseconds timeout) {
    return plugged && output->TakeWithin(report, timeout) == ReportChannel::Outcome::kReport;
}

bool SimulatedHidPad::FailARead() {
    return input->SendFault();
}

bool SimulatedHidPad::AwaitWaitingReader(std::chrono::milliseconds timeout) {
    return input->AwaitWaitingReader(timeout);
}

void SimulatedHidPad::Unplug() {
    plugged = false;
    input->HangUp();
    output->HangUp();
}

std::unique_ptr<platform::HidDevice> SimulatedHidPad::Open() {
    if (!plugged || refusesOpens) {
        return nullptr;
    }
    return std::make_unique<SimulatedWriter>(output, openHandles);
}

std::unique_ptr<platform::HidReportReader> SimulatedHidPad::OpenReader() {
    if (!plugged || refusesOpens) {
        return nullptr;
    }
    return std::make_unique<SimulatedReader>(input, description.inputReportLength, openHandles);
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
