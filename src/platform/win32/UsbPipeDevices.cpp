#include "platform/UsbPipeDevices.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <thread>

namespace platform {
namespace {

// How long CancelReads lets a read it has cancelled take to return before it cancels again.
constexpr auto kCancelRepeat = std::chrono::milliseconds(1);
// How long a read that looks for a packet the driver already holds is given: the driver answers
// it at once, under Wine from another process, so this only bounds the look at an empty pipe.
// Each look is given all of it, so that it has surely reached the driver before it is cancelled
// (under Wine a look cancelled on its way there stays queued in the driver, to take a packet of
// the capture).
constexpr DWORD kQueuedPacketWait = 100;
// How long looks are started for. A pad that keeps sending (a pen resting on it) never leaves
// the pipe empty, and what it sends while the looks go on cannot be told from what it held:
// without this bound the open would discard for as long as the pen rests. With it the whole
// discard takes at most two looks' time.
constexpr auto kLooksStartedFor = std::chrono::milliseconds(kQueuedPacketWait);
// How long a cancelled look may take to end before it is left to a driver that keeps it.
constexpr DWORD kLookCancelLimit = 1000;

// One overlapped read of a packet; it outlives its look when a driver keeps it.
struct PacketLook {
    OVERLAPPED overlapped{};
    uint8_t packet[UsbPipe::kPacketSize] = {};
};

// Whether the read delivered a packet, once it has ended.
bool Delivered(HANDLE probe, PacketLook& look) {
    DWORD received = 0;
    return GetOverlappedResult(probe, &look.overlapped, &received, FALSE) && received > 0;
}

// One look for a packet the driver holds already. True when one came; `kept` when the driver
// keeps the read after its cancellation, so that `look` must outlive the handle.
bool TakeQueuedPacket(HANDLE probe, PacketLook& look, bool& kept) {
    ResetEvent(look.overlapped.hEvent);
    if (ReadFile(probe, look.packet, UsbPipe::kPacketSize, nullptr, &look.overlapped)) {
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    if (WaitForSingleObject(look.overlapped.hEvent, kQueuedPacketWait) == WAIT_OBJECT_0) {
        return Delivered(probe, look);
    }
    CancelIoEx(probe, &look.overlapped);
    if (WaitForSingleObject(look.overlapped.hEvent, kLookCancelLimit) != WAIT_OBJECT_0) {
        kept = true;
        return false;
    }
    return Delivered(probe, look);  // a packet that came as the look was cancelled
}

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
    openedPath = devicePath;
    readsCancelled = false;
    return 0;
}

// The pipe's handle reads synchronously; the looks go through a second, overlapped handle, so
// that a look at an empty pipe can end.
int32_t UsbPipe::DiscardQueuedPackets() {
    if (!IsOpen()) {
        return 0;
    }
    const HANDLE probe = CreateFileA(openedPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return 0;
    }
    auto look = std::make_unique<PacketLook>();
    look->overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int32_t discarded = 0;
    bool kept = false;
    const auto lastStart = std::chrono::steady_clock::now() + kLooksStartedFor;
    while (look->overlapped.hEvent != nullptr && std::chrono::steady_clock::now() < lastStart &&
           TakeQueuedPacket(probe, *look, kept)) {
        ++discarded;
    }
    CloseHandle(probe);
    if (kept) {
        // The driver may still write into the look when it lets go: it stays allocated.
        static_cast<void>(look.release());
    } else if (look->overlapped.hEvent != nullptr) {
        CloseHandle(look->overlapped.hEvent);
    }
    return discarded;
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
