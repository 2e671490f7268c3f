#pragma once

#include "tablet/ComponentInterfaces.h"
#include "transports/SocketLink.h"

class Tablet;

// The TCP client transport: connects to a pad server at TabletIpAddress, port SocketPort,
// queues the pen points it serves (12-byte records) straight into the owner's pointQueue, and
// sends it every write as a frame.
class SocketIoIFWin final : public SocketIoIF, private SocketLink {
public:
    explicit SocketIoIFWin(Tablet* owner) : SocketLink(owner) {}
    ~SocketIoIFWin() override { ReleaseLink(); }

    bool InitTablet() override;
    bool TabletClose() override { return CloseLink(); }
    bool TabletWrite(const uint8_t* data, int32_t length) override {
        return WriteLink(data, length);
    }

private:
    static void SocketReadThread(SocketIoIFWin* transport);
    bool ConnectToServer();
};
