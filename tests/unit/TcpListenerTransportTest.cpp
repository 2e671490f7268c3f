#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "LoopbackPeer.h"
#include "TemporaryRoot.h"
#include "tablet/Tablet.h"

namespace {

using loopback::AppendWord;
using loopback::Bytes;
using loopback::Connection;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kIdentity = "bridge-7";

// The test plays the bridge; the Tablet listens for it as transport kind 7. The transport is
// driven directly, without the input loop, so that the byte ring can be read here.
class TcpListenerTransport : public ::testing::Test {
protected:
    void Configure(int socketTimeout, uint16_t listenPort = loopback::FreePort()) {
        port = listenPort;
        root.WriteSettings(
            "[Tablet]\nEnableLogging=1\nTabletType=7\nTabletPortPath=" + std::string(kIdentity) +
            "\nSocketTimeout=" + std::to_string(socketTimeout) +
            "\nSocketPort=" + std::to_string(port - 1) + "\n");
        tablet = std::make_unique<Tablet>();
    }

    void StartWaiting() {
        waiting = std::async(std::launch::async,
                             [this] { return tablet->newSocketTransport->InitTablet(); });
    }

    // The bridge connects and presents a hello; true when the host closes it again.
    bool RefusedPeer(const Bytes& hello) {
        Connection peer = loopback::ConnectWhenListening(port, 2s);
        return peer.valid() && (hello.empty() || peer.SendAll(hello)) && peer.WaitForClose(1s);
    }

    Connection AcceptedPeer() {
        Connection peer = loopback::ConnectWhenListening(port, 2s);
        EXPECT_TRUE(peer.SendAll(loopback::BridgeHello(2, kIdentity)));
        EXPECT_EQ(waiting.wait_for(2s), std::future_status::ready);
        EXPECT_TRUE(waiting.get());
        tablet->isOpen = true;  // what OpenTablet does after a successful InitTablet
        return peer;
    }

    void Close() {
        EXPECT_TRUE(tablet->newSocketTransport->TabletClose());
        tablet->isOpen = false;
    }

    std::string Log() const { return root.ReadFile(root.TempPath("tessel.log")); }

    testsupport::ScopedInkoraRoot root;
    uint16_t port = 0;
    std::unique_ptr<Tablet> tablet;
    std::future<bool> waiting;
};

TEST_F(TcpListenerTransport, NoTimeToWaitFailsAtOnce) {
    Configure(0);
    const auto start = Clock::now();
    EXPECT_FALSE(tablet->newSocketTransport->InitTablet());
    EXPECT_LT(Clock::now() - start, 150ms);
    const std::string log = Log();
    EXPECT_NE(log.find("NewSocket InitTablet Entry"), std::string::npos) << log;
    EXPECT_NE(log.find("NewSocket Accept error 0, 0"), std::string::npos) << log;
    EXPECT_NE(log.find("NewSocket listen error 0, 0"), std::string::npos) << log;
    EXPECT_NE(log.find("Socket timed out, failed to open tablet"), std::string::npos) << log;

    tablet->isOpen = true;
    EXPECT_FALSE(tablet->newSocketTransport->InitTablet());
    EXPECT_NE(Log().find("NewSocket Exiting Tablet already open"), std::string::npos);
    tablet->isOpen = false;
}

TEST_F(TcpListenerTransport, WrongPeersAreClosedAndTheWaitGoesOn) {
    Configure(5000);
    StartWaiting();
    EXPECT_TRUE(RefusedPeer(loopback::BridgeHello(1, kIdentity))) << "type word 1";
    EXPECT_TRUE(RefusedPeer(loopback::BridgeHello(2, "Bridge-7"))) << "identity differing in case";
    EXPECT_TRUE(RefusedPeer(loopback::BridgeHello(2, "bridge-77")))
        << "identity with more behind it";
    EXPECT_TRUE(RefusedPeer({})) << "a peer that sends nothing";
    EXPECT_EQ(waiting.wait_for(0ms), std::future_status::timeout);
    Connection peer = AcceptedPeer();
    EXPECT_FALSE(peer.WaitForClose(100ms));
    EXPECT_NE(Log().find("setsockopt returns 0"), std::string::npos);
    Close();
    EXPECT_TRUE(peer.WaitForClose(1s));
}

TEST_F(TcpListenerTransport, HellosTooShortToHoldATerminatedTextDoNotMatch) {
    Configure(5000);
    StartWaiting();
    EXPECT_TRUE(RefusedPeer(Bytes{2, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(RefusedPeer(Bytes{2, 0, 0, 0, 4, 3, 2, 1}));
    EXPECT_TRUE(RefusedPeer(loopback::BridgeHello(2, kIdentity, false)));
    Connection peer = AcceptedPeer();
    Close();
}

// The wait for the hello ends on the whole hello, not on its first bytes: a hello that comes in
// two pieces within the time a connection has for it is taken.
TEST_F(TcpListenerTransport, HelloInTwoPiecesWithinItsTimeIsTaken) {
    Configure(5000);
    StartWaiting();
    Connection peer = loopback::ConnectWhenListening(port, 2s);
    const Bytes hello = loopback::BridgeHello(2, kIdentity);
    ASSERT_TRUE(peer.SendAll(Bytes(hello.begin(), hello.begin() + 6)));
    std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(peer.SendAll(Bytes(hello.begin() + 6, hello.end())));
    EXPECT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(waiting.get());
    tablet->isOpen = true;
    EXPECT_FALSE(peer.WaitForClose(100ms));
    Close();
}

TEST_F(TcpListenerTransport, BytesAfterTheHelloReachTheRingInOrderAndWritesGoOutAsFrames) {
    Configure(5000);
    StartWaiting();
    Connection peer = AcceptedPeer();
    Bytes sent;
    for (size_t size : {1000, 1, 5000, 7}) {
        Bytes block(size);
        for (uint8_t& byte : block) {
            byte = static_cast<uint8_t>(sent.size() * 7 % 251);
            sent.push_back(byte);
        }
        ASSERT_TRUE(peer.SendAll(block));
        std::this_thread::sleep_for(5ms);
    }
    CircularBuffer& ring = *tablet->inputRing;
    const auto deadline = Clock::now() + 2s;
    while (ring.GetCount() < static_cast<int32_t>(sent.size()) && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(ring.GetCount(), static_cast<int32_t>(sent.size()));
    Bytes arrived;
    while (ring.GetCount() > 0) {
        arrived.push_back(ring.GetByte());
    }
    EXPECT_EQ(arrived, sent);

    const uint8_t request = 0x00;
    EXPECT_TRUE(tablet->newSocketTransport->TabletWrite(&request, 1));
    EXPECT_EQ(peer.Receive(9, 1s), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0}));
    Close();
}

TEST_F(TcpListenerTransport, FailedBindEndsAtOnceWithTheAcceptError) {
    loopback::Server occupant;
    Configure(5000, occupant.port());
    const auto start = Clock::now();
    EXPECT_FALSE(tablet->newSocketTransport->InitTablet());
    EXPECT_LT(Clock::now() - start, 500ms);
    const std::string log = Log();
    EXPECT_NE(log.find("NewSocket Accept error -1, "), std::string::npos) << log;
    EXPECT_NE(log.find("NewSocket listen error -1, "), std::string::npos) << log;
    EXPECT_NE(log.find("NewSocket Exiting accept error "), std::string::npos) << log;
    EXPECT_EQ(log.find("Socket timed out"), std::string::npos) << log;
}

TEST_F(TcpListenerTransport, WritingToAPeerThatHasGoneLeavesTheProcessAlive) {
    Configure(5000);
    StartWaiting();
    Connection peer = AcceptedPeer();
    peer.Close();
    const uint8_t request = 0x00;
    for (int i = 0; i < 5; ++i) {
        tablet->newSocketTransport->TabletWrite(&request, 1);
        std::this_thread::sleep_for(20ms);
    }
    const auto start = Clock::now();
    Close();
    EXPECT_LT(Clock::now() - start, 200ms);
    // The Tablet opens again once a bridge comes back.
    StartWaiting();
    Connection again = AcceptedPeer();
    Close();
}

}  // namespace
