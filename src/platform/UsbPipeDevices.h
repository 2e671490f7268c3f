#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A device interface class, laid out like a Windows GUID.
struct InterfaceClassGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];

    bool operator==(const InterfaceClassGuid&) const = default;
};

// The interface class of the legacy USB pipe driver, {7B41E0C2-5D93-4A6E-8F18-C2D4A9E6B357}.
inline constexpr InterfaceClassGuid kUsbPipeInterfaceClass = {
    0x7B41E0C2, 0x5D93, 0x4A6E, {0x8F, 0x18, 0xC2, 0xD4, 0xA9, 0xE6, 0xB3, 0x57}};

// Fills `paths` with the device paths of the present interfaces of the class, member index i
// at position i; a member whose path cannot be read stands there as an empty path. 0 on success
// (also when none is present), else the system's error code.
uint32_t ListDeviceInterfaces(const InterfaceClassGuid& interfaceClass,
                              std::vector<std::string>& paths);

// How one read of a pipe ended.
enum class UsbPipeRead {
    kPacket,  // the device delivered
    kFailed,  // the read failed or was cancelled
    kGone,    // the device has gone: every further read will fail
};

// One opened pipe interface, delivering one 4-byte packet per read.
class UsbPipe {
public:
    static constexpr int32_t kPacketSize = 4;

    UsbPipe() = default;
    ~UsbPipe();
    UsbPipe(const UsbPipe&) = delete;
    UsbPipe& operator=(const UsbPipe&) = delete;

    // 0 on success, else the system's error code. Only on a closed pipe.
    uint32_t Open(const std::string& devicePath);
    bool IsOpen() const { return handle != -1; }
    // One read of at most kPacketSize bytes: blocks until the device delivers (kPacket, count =
    // the bytes it reported, which may be fewer than kPacketSize, or 0 from a driver that fills
    // the packet without counting), or the read failed, was cancelled or found the device gone
    // (count 0). The next read starts a new packet.
    UsbPipeRead ReadPacket(uint8_t (&packet)[kPacketSize], int32_t& count);
    // Reads and throws away the packets the device holds already, without waiting for new ones,
    // so that the pipe starts empty; returns how many. Looks start for 100 ms only, so that the
    // whole takes at most 200 ms however fast the device keeps sending. Only while no read is
    // pending.
    int32_t DiscardQueuedPackets();
    // Ends a pending read and makes every later read fail, until Close. Callable from another
    // thread while a read is pending. False when a read is still pending after `limit`: a driver
    // that keeps a read without letting it be cancelled. The read then stays with its thread.
    bool CancelReads(std::chrono::milliseconds limit);
    // Only when no read is pending.
    void Close();
    // The system's error code of the last read that failed, for the log.
    uint32_t LastReadError() const { return lastReadError; }

private:
    std::string openedPath;
    intptr_t handle = -1;
    // Where a read waits for the device and a cancel signal together: the signal.
    intptr_t cancelHandle = -1;
    // Where a read blocks in the system until the device answers: CancelReads raises
    // readsCancelled and cancels the system's read for as long as readPending shows one.
    std::atomic<bool> readsCancelled{false};
    std::atomic<bool> readPending{false};
    uint32_t lastReadError = 0;  // only the reading thread touches it
};

}  // namespace platform
