#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/UsbPipeDevices.h"
#include "tablet/ComponentInterfaces.h"

class Tablet;

// The legacy USB pipe transport: a pad behind its own USB driver, read in 4-byte packets. Its
// reader thread decodes each packet itself and queues pen points straight into the owner's
// pointQueue; other packets go to the owner's ProcessNonPenData. It writes nothing to the pad.
class UsbIoIFWin final : public UsbIoIF {
public:
    explicit UsbIoIFWin(Tablet* owner) : owner(owner) {}
    ~UsbIoIFWin() override;
    UsbIoIFWin(const UsbIoIFWin&) = delete;
    UsbIoIFWin& operator=(const UsbIoIFWin&) = delete;

    // Opens the pad's interface (the first, or with UseMultiUsb the one TabletComPort counts
    // from 1) and starts the reader thread.
    bool InitTablet() override;
    // Ends the pending read, stops the reader and closes the interface; only while the owner
    // is open. Always true.
    bool TabletClose() override;

    // Opens member memberIndex of the present interfaces of the class into `pipe`. error: 0, or
    // why it failed.
    static bool OpenDeviceInterface(const platform::InterfaceClassGuid& interfaceClass,
                                    int32_t memberIndex, platform::UsbPipe& pipe, uint32_t& error);

private:
    // What the reader thread touches once a read has returned, before it knows whether it is to
    // stop: shared with the thread, so that a reader left waiting in a driver that never lets go
    // of its read owns it alone after the transport is gone.
    struct Reader {
        platform::UsbPipe pipe;
        std::atomic<bool> running{false};
        std::atomic<bool> stop{false};
    };

    int32_t DeviceIndex() const;
    // 1 when the reader thread runs, 0 when it could not be started.
    int32_t StartUsbReadThread();
    static int32_t UsbReadThread(std::shared_ptr<Reader> reader, UsbIoIFWin* transport);
    void HandlePacket(const uint8_t (&bytes)[platform::UsbPipe::kPacketSize]);
    void StopReader();

    Tablet* owner;
    std::shared_ptr<Reader> reader = std::make_shared<Reader>();
    std::thread readerThread;
};
