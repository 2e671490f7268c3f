#include "platform/win32/HidReportIo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/HidHandle.h"

extern "C" {
#include <hidsdi.h>
}

namespace platform {
namespace {

HidReadStatus StatusOfFailedRead(DWORD error) {
    switch (error) {
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_REMOVED:
        // A read on an open handle is refused so only once its device is being deleted: the
        // class driver fails it with STATUS_DELETE_PENDING when the pad is pulled out (Wine).
        case ERROR_ACCESS_DENIED:
            return HidReadStatus::kGone;
        default:
            return HidReadStatus::kFailed;
    }
}

class HidClassDevice final : public HidDevice {
public:
    explicit HidClassDevice(HANDLE device) : device(device) {}

    bool WriteReport(const uint8_t* report, int32_t length) override {
        DWORD written = 0;
        return length >= 0 &&
               WriteFile(device.get(), report, static_cast<DWORD>(length), &written, nullptr) &&
               written == static_cast<DWORD>(length);
    }

private:
    HidHandle device;
};

class HidClassReader final : public HidReportReader {
public:
    // Both events manual-reset and not signalled.
    HidClassReader(HANDLE device, HANDLE readEvent, HANDLE killEvent, int32_t inputReportLength)
        : device(device),
          readEvent(readEvent),
          killEvent(killEvent),
          report(static_cast<size_t>(inputReportLength)) {}

    HidReadResult ReadReport(uint8_t* buffer, int32_t capacity) override {
        HidReadResult result;
        if (WaitForSingleObject(killEvent.get(), 0) == WAIT_OBJECT_0) {
            result.status = HidReadStatus::kCancelled;
            return result;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = readEvent.get();
        DWORD count = 0;
        if (ReadFile(device.get(), report.data(), static_cast<DWORD>(report.size()), &count,
                     &overlapped)) {
            result.start = HidReadStart::kCompleted;
            result.startBytes = static_cast<int32_t>(count);
            return Delivered(result, count, buffer, capacity);
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            result.start = HidReadStart::kFailed;
            result.status = StatusOfFailedRead(error);
            return result;
        }
        return AwaitPendingRead(overlapped, buffer, capacity);
    }

    void Cancel() override { SetEvent(killEvent.get()); }

    // The class driver keeps the reports of each open handle in a queue of its own.
    HidInputBuffers RequestInputBuffers(int32_t count) override {
        HidInputBuffers buffers;
        buffers.adjustable = true;
        buffers.requestTaken = HidD_SetNumInputBuffers(device.get(), static_cast<ULONG>(count));
        buffers.error = buffers.requestTaken ? 0 : GetLastError();
        ULONG held = 0;
        if (HidD_GetNumInputBuffers(device.get(), &held)) {
            buffers.held = static_cast<int32_t>(held);
        }
        return buffers;
    }

private:
    HidReadResult AwaitPendingRead(OVERLAPPED& overlapped, uint8_t* buffer, int32_t capacity) {
        HidReadResult result;
        const HANDLE waits[2] = {readEvent.get(), killEvent.get()};
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0) {
            AbandonRead(overlapped);
            result.status =
                woken == WAIT_OBJECT_0 + 1 ? HidReadStatus::kCancelled : HidReadStatus::kFailed;
            return result;
        }
        DWORD count = 0;
        if (!GetOverlappedResult(device.get(), &overlapped, &count, FALSE)) {
            result.status = StatusOfFailedRead(GetLastError());
            return result;
        }
        return Delivered(result, count, buffer, capacity);
    }

    HidReadResult Delivered(HidReadResult result, DWORD count, uint8_t* buffer,
                            int32_t capacity) const {
        result.status = HidReadStatus::kReport;
        result.received = PresentReport(count, buffer, capacity);
        return result;
    }

    // CancelIo reaches only the calling thread's reads, so the reading thread itself cancels;
    // it then waits until the read has ended, as the read still writes into `report`.
    void AbandonRead(OVERLAPPED& overlapped) {
        CancelIo(device.get());
        DWORD ignored = 0;
        GetOverlappedResult(device.get(), &overlapped, &ignored, TRUE);
    }

    // Copies the report as far as capacity allows, zero-padded to the input report length.
    int32_t PresentReport(DWORD count, uint8_t* buffer, int32_t capacity) const {
        const size_t room = capacity > 0 ? static_cast<size_t>(capacity) : 0;
        std::fill_n(buffer, std::min(room, report.size()), uint8_t{0});
        const size_t copied = std::min({static_cast<size_t>(count), report.size(), room});
        if (copied > 0) {
            std::memcpy(buffer, report.data(), copied);
        }
        return static_cast<int32_t>(copied);
    }

    HidHandle device;
    HidHandle readEvent;
    HidHandle killEvent;
    std::vector<uint8_t> report;
};

}  // namespace

std::unique_ptr<HidDevice> MakeHidClassDevice(HANDLE device) {
    return std::make_unique<HidClassDevice>(device);
}

std::unique_ptr<HidReportReader> MakeHidClassReader(HANDLE device, int32_t inputReportLength) {
    HidHandle owned(device);
    HidHandle readEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HidHandle killEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!readEvent.IsValid() || !killEvent.IsValid() || inputReportLength <= 0) {
        return nullptr;
    }
    return std::make_unique<HidClassReader>(owned.release(), readEvent.release(),
                                            killEvent.release(), inputReportLength);
}

}  // namespace platform
