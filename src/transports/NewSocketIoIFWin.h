#pragma once

#include "tablet/BridgeAddresses.h"
#include "tablet/ComponentInterfaces.h"
#include "transports/SocketLink.h"

class Tablet;

// The TCP listening transport: waits on port SocketPort + 1 for a bridge whose first message
// presents the identity TabletPortPath, then feeds every byte it sends into the owner's byte
// ring and sends it every write as a frame.
class NewSocketIoIFWin final : public NewSocketIoIF, private SocketLink {
public:
    explicit NewSocketIoIFWin(Tablet* owner) : SocketLink(owner, true) {}
    ~NewSocketIoIFWin() override { ReleaseLink(); }

    bool InitTablet() override;
    bool TabletClose() override { return CloseLink(); }
    bool TabletWrite(const uint8_t* data, int32_t length) override {
        return WriteLink(data, length);
    }

private:
    enum class PeerWait { Accepted, Failed, TimedOut };

    static void NewSocketReadThread(NewSocketIoIFWin* transport);
    platform::SocketHandle OpenAcceptor();
    PeerWait WaitForPeer(platform::SocketHandle acceptor);
    void AwaitConnection(platform::SocketWaiter& waiter, platform::SocketHandle acceptor);
    void AwaitHello(platform::SocketWaiter& waiter);
    bool RightHelloArrived();
    bool PeerPresentsIdentity();
    bool ComesFromAllowedAddress(const BridgeAddressList& allowed) const;
};
