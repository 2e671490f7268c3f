#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HidDevices.h"

namespace testsupport {

// One direction of a simulated pad's link: whole reports in order (defined with the bus).
class ReportChannel;

// One device on the simulated bus. Its handles behave like the system's: a read takes one whole
// report and blocks until a report, a hang-up or a cancel, and tells whether it completed at
// once or waited; a write is one report, id byte first. Reports travel through a queue per
// direction, which keeps report boundaries.
class SimulatedHidPad {
public:
    explicit SimulatedHidPad(const platform::HidInterface& description);
    ~SimulatedHidPad();
    SimulatedHidPad(const SimulatedHidPad&) = delete;
    SimulatedHidPad& operator=(const SimulatedHidPad&) = delete;

    const platform::HidInterface& Description() const { return description; }

    // Sends one input report, in the Windows layout (id byte first), to the host's readers.
    bool SendInputReport(const std::vector<uint8_t>& report);
    // Queues a fault among the input reports: the read that takes it fails.
    bool FailARead();
    // True once a host reader waits for an input report, having found none queued.
    bool AwaitWaitingReader(std::chrono::milliseconds timeout = std::chrono::milliseconds(500));
    // The next output report the host wrote; false when none comes within the timeout.
    bool ReceiveOutputReport(std::vector<uint8_t>& report,
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(500));
    // The pad leaves the bus: readers see a hang-up, writes fail, opens fail.
    void Unplug();
    bool Plugged() const { return plugged; }
    // A pad that cannot be opened, as when another program holds it exclusively.
    void RefuseOpens(bool refuse) { refusesOpens = refuse; }
    // Host handles (writers and readers) open on this pad now.
    int OpenHandles() const { return openHandles->load(); }

    std::unique_ptr<platform::HidDevice> Open();
    std::unique_ptr<platform::HidReportReader> OpenReader();

private:
    platform::HidInterface description;
    std::shared_ptr<ReportChannel> input;   // from the pad to every reader
    std::shared_ptr<ReportChannel> output;  // from every writer to the pad
    std::atomic<bool> plugged{true};
    std::atomic<bool> refusesOpens{false};
    std::shared_ptr<std::atomic<int>> openHandles;
};

// A HID bus that stands in for the system's devices. Paths are "/sim/hidrawN".
class SimulatedHidBus final : public platform::HidDevices {
public:
    SimulatedHidPad& Plug(uint16_t vendorId, uint16_t productId, int32_t inputReportLength = 65,
                          int32_t outputReportLength = 65);

    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::HidDevice> OpenDevice(const std::string& path) override;
    std::unique_ptr<platform::HidReportReader> OpenReader(const std::string& path) override;

private:
    SimulatedHidPad* Find(const std::string& path);

    std::mutex lock;
    std::vector<std::unique_ptr<SimulatedHidPad>> pads;
};

// Puts a backend in place of the system's HID devices for as long as it lives.
class ScopedHidDevices {
public:
    explicit ScopedHidDevices(platform::HidDevices& devices)
        : previous(platform::SetHidDevicesForTesting(&devices)) {}
    ~ScopedHidDevices() { platform::SetHidDevicesForTesting(previous); }
    ScopedHidDevices(const ScopedHidDevices&) = delete;
    ScopedHidDevices& operator=(const ScopedHidDevices&) = delete;

private:
    platform::HidDevices* previous;
};

}  // namespace testsupport
