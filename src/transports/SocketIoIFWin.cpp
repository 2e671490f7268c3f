#include "transports/SocketIoIFWin.h"

#include <array>

#include "platform/Clock.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/SocketPorts.h"
#include "tablet/Tablet.h"

bool SocketIoIFWin::InitTablet() {
    if (owner->isOpen) {
        return false;
    }
    ReleaseLink();
    readerRunning = false;
    stopReader = false;
    if (!ConnectToServer()) {
        return false;
    }
    platform::SetSocketNonBlocking(peerSocket, true);
    if (!StartReader([this] { SocketReadThread(this); })) {
        CloseConnection();
        return false;
    }
    return true;
}

// Blocking connect: the wait for the server is the system's own connect timeout.
bool SocketIoIFWin::ConnectToServer() {
    peerSocket = platform::CreateStreamSocket();
    if (peerSocket == platform::kInvalidSocket) {
        WriteLogFormat("ConnectToServer: no socket, error %d", platform::LastSocketError());
        return false;
    }
    const uint16_t port = ClientPort(owner->settings.SocketPort);
    if (platform::ConnectSocket(peerSocket, owner->settings.TabletIpAddress, port) ==
        platform::kSocketError) {
        WriteLogFormat("ConnectToServer: the connect to port %u failed with error %d", port,
                       platform::LastSocketError());
        CloseConnection();
        return false;
    }
    return true;
}

void SocketIoIFWin::SocketReadThread(SocketIoIFWin* transport) {
    // A receive need not end on a record boundary: the start of a cut record stays at the
    // front of the buffer and the next receive lands behind it.
    std::array<uint8_t, kRecordCarryCapacity> buffer;
    int32_t held = 0;
    PointQueue& points = *transport->owner->pointQueue;
    while (!transport->stopReader) {
        const int32_t received = transport->ServeOnePass(buffer.data() + held, kReceiveLimit);
        if (received == 0) {
            continue;
        }
        // The records of one receive reach the pump together, with the time they arrived.
        const uint32_t receivedAt = platform::TimeGetTime();
        points.BeginPushBatch();
        held = CarryPointRecords(
            buffer.data(), held + received,
            [&points, receivedAt](uint32_t penData) { points.PushPoint(penData, receivedAt, 0); });
        points.EndPushBatch();
    }
    transport->ReaderFinished();
}
