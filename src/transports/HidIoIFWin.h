#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/HidDevices.h"
#include "tablet/ComponentInterfaces.h"

class Tablet;

// The USB HID transport: finds the pad among the present HID interfaces by vendor and product
// id, runs a reader thread that hands the payload of every input report to the owner's
// FeedReport, and turns writes into output reports of the pad's output report length.
class HidIoIFWin final : public HidIoIF {
public:
    static constexpr uint16_t kPadVendorId = 0x1D5B;
    static constexpr uint16_t kFirstPadProductId = 0x0043;
    static constexpr int32_t kReadBufferSize = 512;
    static constexpr int32_t kWriteBufferSize = 256;

    explicit HidIoIFWin(Tablet* owner) : owner(owner) {}
    ~HidIoIFWin() override;
    HidIoIFWin(const HidIoIFWin&) = delete;
    HidIoIFWin& operator=(const HidIoIFWin&) = delete;

    bool InitTablet() override;
    bool TabletClose() override;
    bool TabletWrite(const uint8_t* data, int32_t length) override;
    int32_t SendModeReport(bool flag) override;
    bool CanWrite() const override;
    bool CheckConnected() override;

    // The device search: takes the pad at the given index among the matching ones (with
    // UseMultiUsb set) or the first one, and holds it in deviceHandle and interfaceDetail. A
    // chosen pad whose reports do not fit the buffers fails the search.
    bool FindTheHID(int32_t index);
    // The mask that selects the payload length from an input report's count byte.
    static uint8_t MaskByte(int32_t size);

    int32_t ReportLength() const { return reportLength; }
    bool HoldsDevice() const { return deviceHandle != nullptr; }
    const std::string& DevicePath() const { return interfaceDetail; }
    bool ReaderRunning() const { return readerRunning; }

private:
    void HidReadThread(platform::HidReportReader& reader, int32_t bytesToRead);
    bool HandleReadResult(const platform::HidReadResult& result, const uint8_t* report,
                          uint8_t mask);
    void HandleReport(const uint8_t* report, int32_t received, uint8_t mask);
    // What the search does with one interface: passes over it, takes it, or ends without a pad.
    enum class Verdict { kPassOver, kTake, kRefuse };
    Verdict Consider(const platform::HidInterface& candidate, int32_t index, int32_t& matches);
    void ReleaseDevice();
    void SendReports(const uint8_t* data, int32_t length, int32_t size);

    // Input and output report lengths, report id byte included, of the last pad taken.
    std::atomic<int32_t> reportLength{0};
    std::atomic<int32_t> outputReportLength{0};
    Tablet* owner;
    // The reader's own handle on the pad; its Cancel is the kill signal of TabletClose.
    std::unique_ptr<platform::HidReportReader> readHandle;
    std::thread readerThread;
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> stopReader{false};
    std::unique_ptr<platform::HidDevice> deviceHandle;  // the pad for writes; null when none
    std::string interfaceDetail;  // the held pad's device path; empty when none
    std::mutex searchMutex;       // serialises FindTheHID
};
