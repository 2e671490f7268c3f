#include "transports/HidIoIFWin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"
#include "tablet/ThreadStart.h"
#include "transports/HidReportPayload.h"

namespace {

constexpr int32_t kModeReportLength = 9;
constexpr uint8_t kModeOn = 0x20;
constexpr uint8_t kModeOff = 0x10;
// The longest the open waits for its new reader thread to run.
constexpr auto kReaderStartLimit = std::chrono::milliseconds(10);
// The most input reports Windows' class driver keeps for a handle: two and a half seconds of pen
// data at a pad's 200 reports a second, where its default 32 last 160 ms.
constexpr int32_t kInputBuffers = 512;

bool IsPad(const platform::HidInterface& candidate) {
    return candidate.vendorId == HidIoIFWin::kPadVendorId &&
           candidate.productId >= HidIoIFWin::kFirstPadProductId;
}

// The report length serves reads and writes alike, so it must fit the smaller buffer.
bool FitsBuffers(int32_t reportLength) {
    return reportLength <= std::min(HidIoIFWin::kReadBufferSize, HidIoIFWin::kWriteBufferSize);
}

// "Num = N " and then every byte of the report up to the end of the payload, as far as a
// 256-byte message holds.
void LogReportBytes(const uint8_t* report, int32_t count) {
    char line[256];
    int used = std::snprintf(line, sizeof line, "Num = %d ", count);
    for (int32_t i = 0; i < count + 2 && used < static_cast<int>(sizeof line) - 1; ++i) {
        used +=
            std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "%02x ", report[i]);
    }
    WriteLogLine(line);
}

// What the read call returned (1 when it completed the read itself) and what the wait after it
// returned: 0 when the read event signalled the read's end, whatever the outcome, 1 for the
// kill. A read whose call failed left nothing to wait for.
void LogRead(const platform::HidReadResult& result) {
    WriteLogFormat("HidReadThread: ReadFile returns %d",
                   result.start == platform::HidReadStart::kCompleted ? 1 : 0);
    if (result.start == platform::HidReadStart::kFailed) {
        return;
    }
    WriteLogFormat("HidReadThread: wait returns %d, bytesread = %d",
                   result.status == platform::HidReadStatus::kCancelled ? 1 : 0, result.startBytes);
}

// What the system keeps for the reader while the host is held up: beyond it, reports are lost.
void LogInputBuffers(const platform::HidInputBuffers& buffers) {
    if (!buffers.adjustable) {
        WriteLogFormat("HID input buffers: the system keeps %d reports, a fixed number",
                       buffers.held);
    } else if (buffers.requestTaken) {
        WriteLogFormat("HID input buffers: asked for %d, the driver keeps %d", kInputBuffers,
                       buffers.held);
    } else {
        WriteLogFormat("HID input buffers: request for %d refused (error %u), the driver keeps %d",
                       kInputBuffers, buffers.error, buffers.held);
    }
}

}  // namespace

HidIoIFWin::~HidIoIFWin() {
    // The Tablet closes an open pad before it destroys its transports; a reader that still
    // runs here is stopped so that it never outlives this object.
    if (readerThread.joinable()) {
        TabletClose();
    }
}

bool HidIoIFWin::InitTablet() {
    if (readerThread.joinable()) {
        TabletClose();  // a reader of an earlier opening that nobody stopped
    }
    stopReader = false;
    if (!FindTheHID(owner->settings.TabletComPort - 1)) {
        readerRunning = false;
        return false;
    }
    readHandle = platform::SystemHidDevices().OpenReader(interfaceDetail);
    if (readHandle == nullptr) {
        WriteLogLine("HidReadThread: cannot open the device for reading");
        ReleaseDevice();
        readerRunning = false;
        return false;
    }
    LogInputBuffers(readHandle->RequestInputBuffers(kInputBuffers));
    // Raised before the thread starts, so that a reader which ends at once clears it last.
    readerRunning = true;
    try {
        readerThread = StartThreadAwaitingRun(
            kReaderStartLimit, [this, &reader = *readHandle, length = reportLength.load()] {
                HidReadThread(reader, length);
            });
    } catch (const std::exception&) {
        WriteLogLine("Watch Thread failed to start");
        readHandle.reset();
        ReleaseDevice();
        readerRunning = false;
        return false;
    }
    return true;
}

bool HidIoIFWin::TabletClose() {
    stopReader = true;
    if (readerRunning) {
        owner->ReleaseWaitingProducers();  // a reader waiting for room in the ring goes on
    }
    if (readHandle != nullptr) {
        readHandle->Cancel();  // the kill signal: ends the reader's wait at once
    }
    if (readerThread.joinable()) {
        readerThread.join();
    }
    readHandle.reset();
    ReleaseDevice();
    return true;
}

bool HidIoIFWin::FindTheHID(int32_t index) {
    std::lock_guard<std::mutex> hold(searchMutex);
    WriteLogLine("Looking for Hid Tablet");
    ReleaseDevice();
    int32_t matches = 0;
    Verdict verdict = Verdict::kPassOver;
    for (const platform::HidInterface& candidate :
         platform::SystemHidDevices().EnumerateInterfaces()) {
        verdict = Consider(candidate, index, matches);
        if (verdict != Verdict::kPassOver) {
            break;
        }
    }
    WriteLogLine("Exiting FindTheHid");
    WriteLogFormat("FindTheHID  ReportSize = %d", reportLength.load());
    return verdict == Verdict::kTake;
}

// A pad counts among the matching ones once it opens, whether or not it can be used; only the
// chosen one is taken, or refused when its reports do not fit the buffers.
HidIoIFWin::Verdict HidIoIFWin::Consider(const platform::HidInterface& candidate, int32_t index,
                                         int32_t& matches) {
    if (!IsPad(candidate)) {
        return Verdict::kPassOver;
    }
    std::unique_ptr<platform::HidDevice> device =
        platform::SystemHidDevices().OpenDevice(candidate.path);
    if (device == nullptr) {
        return Verdict::kPassOver;
    }
    WriteLogLine("Found Hid Tablet");
    const bool multi = owner->settings.UseMultiUsb;
    if (multi && matches != index) {
        ++matches;
        return Verdict::kPassOver;
    }
    if (!FitsBuffers(candidate.inputReportLength)) {
        WriteLogFormat("Hid Tablet refused: report size %d does not fit the buffers",
                       candidate.inputReportLength);
        return Verdict::kRefuse;
    }
    WriteLogLine(multi ? "Found our Hid tablet multi" : "Found our Hid tablet");
    deviceHandle = std::move(device);
    interfaceDetail = candidate.path;
    reportLength = candidate.inputReportLength;
    outputReportLength = candidate.outputReportLength;
    return Verdict::kTake;
}

void HidIoIFWin::ReleaseDevice() {
    deviceHandle.reset();
    interfaceDetail.clear();
}

uint8_t HidIoIFWin::MaskByte(int32_t size) {
    WriteLogFormat("MaskByte report size = %d", size);
    switch (size) {
        case 32:
            return 0x1F;
        case 64:
            return 0x3F;
        case 128:
            return 0x7F;
        default:
            return 0x0F;
    }
}

void HidIoIFWin::HidReadThread(platform::HidReportReader& reader, int32_t bytesToRead) {
    WriteLogFormat("HidReadThread: BytesToRead = %d", bytesToRead);
    const uint8_t mask = MaskByte(bytesToRead - 1);
    WriteLogLine("HID Read thread Starting");
    uint8_t inputBuffer[kReadBufferSize] = {};
    const int32_t capacity = std::clamp(bytesToRead, 0, kReadBufferSize);
    bool reading = true;
    while (reading && !stopReader) {
        WriteLogLine("HidReadThread: Before read");
        const platform::HidReadResult result = reader.ReadReport(inputBuffer, capacity);
        LogRead(result);
        reading = HandleReadResult(result, inputBuffer, mask);
    }
    WriteLogLine("HID Read thread Exiting");
    readerRunning = false;
}

// Whether the reader reads on.
bool HidIoIFWin::HandleReadResult(const platform::HidReadResult& result, const uint8_t* report,
                                  uint8_t mask) {
    switch (result.status) {
        case platform::HidReadStatus::kReport:
            HandleReport(report, result.received, mask);
            return true;
        case platform::HidReadStatus::kCancelled:
            WriteLogLine("HidReadThread: Got kill");
            if (stopReader) {
                WriteLogLine("HidReadThread: Canceling IO");
            }
            return false;
        case platform::HidReadStatus::kGone:
            WriteLogLine("HidReadThread: device gone, no more reads");
            owner->ReportPadGone();
            return false;
        case platform::HidReadStatus::kFailed:
            WriteLogLine("HidReadThread: read failed, no more reads");
            return false;
    }
    return false;
}

void HidIoIFWin::HandleReport(const uint8_t* report, int32_t received, uint8_t mask) {
    const auto [claimed, count] = ReadHidReportPayload(report, received, mask);
    if (count != claimed) {
        WriteLogFormat("HidReadThread: count %d cut to the %d bytes received", claimed, count);
    }
    WriteLogFormat("Count = %d, InputBuffer[0,1,2] = 0x%x, 0x%x, 0x%x ", count, report[0],
                   report[1], report[2]);
    owner->FeedReport(report + 2, count);
    LogReportBytes(report, count);
}

bool HidIoIFWin::TabletWrite(const uint8_t* data, int32_t length) {
    if (length <= 0 || data == nullptr) {
        return true;
    }
    // The class driver takes only writes of the output report's length: a pad whose output
    // reports cannot carry a byte (or have none) gets nothing.
    const int32_t size = outputReportLength;
    if (!CanWrite()) {
        WriteLogFormat("TabletWrite: output report size %d cannot carry data", size);
        return true;
    }
    SendReports(data, length, size);
    return true;
}

bool HidIoIFWin::CanWrite() const {
    const int32_t size = outputReportLength;
    return size - 2 > 0 && size <= kWriteBufferSize;
}

// Splits the data into output reports of `size` bytes: id 0, the count, up to size - 2 bytes of
// payload and zeros to the end of the report.
void HidIoIFWin::SendReports(const uint8_t* data, int32_t length, int32_t size) {
    if (deviceHandle == nullptr) {
        return;
    }
    const int32_t capacity = size - 2;
    for (int32_t sent = 0; sent < length;) {
        const int32_t count = std::min(length - sent, capacity);
        uint8_t report[kWriteBufferSize] = {};
        report[1] = static_cast<uint8_t>(count);
        std::memcpy(report + 2, data + sent, static_cast<size_t>(count));
        if (!deviceHandle->WriteReport(report, size)) {
            WriteLogFormat("TabletWrite: output report of %d bytes refused", size);
        }
        sent += count;
    }
}

int32_t HidIoIFWin::SendModeReport(bool flag) {
    uint8_t report[kModeReportLength] = {};
    report[1] = flag ? kModeOn : kModeOff;
    return deviceHandle != nullptr && deviceHandle->WriteReport(report, kModeReportLength) ? 1 : 0;
}

bool HidIoIFWin::CheckConnected() {
    // The search replaces what it holds: an open pad is set aside and put back afterwards,
    // and whatever the search took is released.
    std::unique_ptr<platform::HidDevice> heldDevice = std::move(deviceHandle);
    std::string heldPath = std::move(interfaceDetail);
    interfaceDetail.clear();
    const int32_t heldLength = reportLength;
    const int32_t heldOutputLength = outputReportLength;
    const bool found = FindTheHID(owner->settings.TabletComPort - 1);
    deviceHandle = std::move(heldDevice);
    interfaceDetail = std::move(heldPath);
    if (deviceHandle != nullptr) {
        reportLength = heldLength;
        outputReportLength = heldOutputLength;
    }
    return found;
}
