#include "transports/UsbIoIFWin.h"

#include <chrono>
#include <system_error>

#include "platform/Clock.h"
#include "platform/Threads.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"
#include "tablet/ThreadStart.h"
#include "transports/DeviceInterfaceSearch.h"
#include "transports/UsbPipePacket.h"

namespace {

// The longest the open waits for its new reader thread to run.
constexpr auto kReaderStartPause = std::chrono::milliseconds(10);
// A read that fails for another reason than a pad that has gone is tried again after this
// rest, so that a driver failing every read does not keep the reader spinning.
constexpr auto kFailedReadPause = std::chrono::milliseconds(10);
// How long a close waits for a read to end after cancelling it.
constexpr auto kCancelLimit = std::chrono::milliseconds(1000);

}  // namespace

UsbIoIFWin::~UsbIoIFWin() {
    if (readerThread.joinable()) {
        StopReader();
    }
}

bool UsbIoIFWin::OpenDeviceInterface(const platform::InterfaceClassGuid& interfaceClass,
                                     int32_t memberIndex, platform::UsbPipe& pipe,
                                     uint32_t& error) {
    const DeviceInfoSet infoSet(interfaceClass, error);
    if (error != 0) {
        return false;
    }
    const DeviceInterfaceDetail detail(infoSet, memberIndex, error);
    if (error != 0) {
        return false;
    }
    error = pipe.Open(detail.DevicePath());
    return error == 0;
}

int32_t UsbIoIFWin::DeviceIndex() const {
    if (!owner->settings.UseMultiUsb) {
        return 0;
    }
    return owner->serialTransport->GetComPort() - 1;
}

bool UsbIoIFWin::InitTablet() {
    if (readerThread.joinable() || reader->pipe.IsOpen()) {
        return false;
    }
    uint32_t error = 0;
    if (!OpenDeviceInterface(platform::kUsbPipeInterfaceClass, DeviceIndex(), reader->pipe,
                             error)) {
        return false;
    }
    // Packets of a pen moved before the capture belong to no signature.
    WriteLogFormat("UsbInitTablet: %d packets sent before the open discarded",
                   reader->pipe.DiscardQueuedPackets());
    reader->stop = false;
    if (StartUsbReadThread() == 1) {
        return true;
    }
    reader->pipe.Close();
    return false;
}

int32_t UsbIoIFWin::StartUsbReadThread() {
    // Set before the thread exists, so that no close can see it unset while the thread lives.
    reader->running = true;
    try {
        readerThread = StartThreadAwaitingRun(
            kReaderStartPause, [reader = reader, this] { UsbReadThread(reader, this); });
    } catch (const std::exception&) {
        reader->running = false;
        return 0;
    }
    return 1;
}

int32_t UsbIoIFWin::UsbReadThread(std::shared_ptr<Reader> reader, UsbIoIFWin* transport) {
    platform::RaiseCurrentThreadPriority();
    for (;;) {
        uint8_t packet[platform::UsbPipe::kPacketSize] = {};
        int32_t count = 0;
        const platform::UsbPipeRead read = reader->pipe.ReadPacket(packet, count);
        if (reader->stop.load()) {
            break;  // the transport may be gone: nothing of it is touched any more
        }
        if (read == platform::UsbPipeRead::kGone) {
            // Unplugged: every further read would fail at once. The reader ends; the close
            // finds it ended. The error tells a device removed from one being deleted (a
            // refused read), which no other program holding the pad can cause on an open handle.
            WriteLogFormat("UsbReadThread: read failed with system error %u",
                           reader->pipe.LastReadError());
            WriteLogLine("UsbReadThread: device gone, no more reads");
            transport->owner->ReportPadGone();
            break;
        }
        if (IsDeliveredUsbPipePacket(read == platform::UsbPipeRead::kPacket, count, packet)) {
            transport->HandlePacket(packet);
        } else {
            std::this_thread::sleep_for(kFailedReadPause);
        }
    }
    reader->running = false;
    return 0;
}

void UsbIoIFWin::HandlePacket(const uint8_t (&bytes)[platform::UsbPipe::kPacketSize]) {
    UsbPipePacket packet = ParseUsbPipePacket(bytes);
    if (!packet.isPen) {
        owner->ProcessNonPenData(packet.kind, packet.data);
        return;
    }
    owner->ConvertTabletPoint(packet.x, packet.y);
    const uint32_t timeStamp = platform::TimeGetTime();
    owner->pointQueue->PushPoint(Tablet::PackPoint(packet.status, packet.x, packet.y), timeStamp,
                                 0);
}

bool UsbIoIFWin::TabletClose() {
    WriteLogLine("UsbTabletClose - Entry");
    if (owner->isOpen.load()) {
        StopReader();
    }
    WriteLogLine("UsbTabletClose - Exit");
    return true;
}

void UsbIoIFWin::StopReader() {
    reader->stop = true;
    if (!reader->pipe.CancelReads(kCancelLimit)) {
        // The driver keeps the read and ignores its cancellation: the reader is left to it, with
        // the pipe and the packet buffer that it alone owns now, and ends when the read does.
        WriteLogLine("UsbTabletClose - read not cancelled by the driver, reader left behind");
        readerThread.detach();
        reader = std::make_shared<Reader>();
        return;
    }
    if (readerThread.joinable()) {
        readerThread.join();
    }
    reader->pipe.Close();
}
