#include "platform/UsbPipeDevices.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace platform {
namespace {

// How long CancelReads lets a read it has cancelled take to return before it cancels again.
constexpr auto kCancelRepeat = std::chrono::milliseconds(1);

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

UsbPipeRead StatusOfFailedRead(DWORD error) {
    switch (error) {
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_REMOVED:
        // A driver refuses reads on an open handle so once its device is being deleted
        // (STATUS_DELETE_PENDING).
        case ERROR_ACCESS_DENIED:
            return UsbPipeRead::kGone;
        default:
            return UsbPipeRead::kFailed;
    }
}

}  // namespace

UsbPipe::~UsbPipe() {
    Close();
}

uint32_t UsbPipe::Open(const std::string& devicePath) {
    const HANDLE opened = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    handle = reinterpret_cast<intptr_t>(opened);
    readsCancelled = false;
    return 0;
}

UsbPipeRead UsbPipe::ReadPacket(uint8_t (&packet)[kPacketSize], int32_t& count) {
    count = 0;
    if (!IsOpen()) {
        return UsbPipeRead::kFailed;
    }
    // Raised before the cancel flag is tested: a CancelReads either is seen here or sees this
    // read pending and cancels it.
    readPending = true;
    if (readsCancelled) {
        readPending = false;
        return UsbPipeRead::kFailed;
    }
    DWORD received = 0;
    const BOOL succeeded = ReadFile(Native(handle), packet, kPacketSize, &received, nullptr);
    const DWORD error = succeeded ? ERROR_SUCCESS : GetLastError();
    readPending = false;
    if (!succeeded) {
        lastReadError = error;
        return StatusOfFailedRead(error);
    }
    count = static_cast<int32_t>(received);
    return UsbPipeRead::kPacket;
}

bool UsbPipe::CancelReads(std::chrono::milliseconds limit) {
    if (!IsOpen()) {
        return true;
    }
    readsCancelled = true;
    // A read found pending may not have entered the system yet, where a cancel would miss it:
    // cancel until it has returned, or until the limit shows a driver that will not let go.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (readPending) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        CancelIoEx(Native(handle), nullptr);
        std::this_thread::sleep_for(kCancelRepeat);
    }
    return true;
}

void UsbPipe::Close() {
    if (!IsOpen()) {
        return;
    }
    CloseHandle(Native(handle));
    handle = -1;
    readsCancelled = false;
}

}  // namespace platform
