#include "platform/Sockets.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "LoopbackPeer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::kInvalidSocket;
using platform::kSocketError;
using platform::SocketHandle;

bool WouldBlock() {
    return platform::IsWouldBlock(platform::LastSocketError());
}

// A listener on 127.0.0.1, a client connected to it, and the client's connection as the
// listener hands it over.
class Win32Sockets : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(platform::InitWinsock(), 0);
        listener = platform::CreateStreamSocket();
        ASSERT_NE(listener, kInvalidSocket);
        ASSERT_EQ(platform::BindSocket(listener, loopback::LoopbackAddress(), 0), 0);
        ASSERT_EQ(platform::ListenSocket(listener, 4), 0);
    }

    void TearDown() override {
        for (const SocketHandle socket : {accepted, client, listener}) {
            if (socket != kInvalidSocket) {
                platform::CloseSocket(socket);
            }
        }
    }

    void ConnectAndAccept(bool nonBlockingListener) {
        ASSERT_EQ(platform::SetSocketNonBlocking(listener, nonBlockingListener), 0);
        client = platform::CreateStreamSocket();
        const auto port = static_cast<uint16_t>(platform::LocalPort(listener));
        ASSERT_EQ(platform::ConnectSocket(client, loopback::LoopbackAddress(), port), 0);
        const auto deadline = Clock::now() + 2s;
        while ((accepted = platform::AcceptConnection(listener)) == kInvalidSocket &&
               WouldBlock() && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_NE(accepted, kInvalidSocket);
    }

    bool Send(const std::string& text) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        return platform::SendBytes(client, bytes, static_cast<int32_t>(text.size())) ==
               static_cast<int>(text.size());
    }

    SocketHandle listener = kInvalidSocket;
    SocketHandle client = kInvalidSocket;
    SocketHandle accepted = kInvalidSocket;
};

TEST_F(Win32Sockets, NothingToTakeIsWouldBlockButARefusedConnectionIsAnError) {
    ASSERT_EQ(platform::SetSocketNonBlocking(listener, true), 0);
    EXPECT_EQ(platform::AcceptConnection(listener), kInvalidSocket);
    EXPECT_TRUE(WouldBlock());

    const SocketHandle stray = platform::CreateStreamSocket();
    EXPECT_EQ(platform::ConnectSocket(stray, loopback::LoopbackAddress(), loopback::FreePort()),
              kSocketError);
    EXPECT_FALSE(WouldBlock());
    platform::CloseSocket(stray);
}

// A connection that its peer resets before the listener takes it is none, never a failure of
// the listener: Windows has nothing to take, Wine hands it over ended.
TEST_F(Win32Sockets, AConnectionResetBeforeItIsTakenIsNone) {
    ASSERT_EQ(platform::SetSocketNonBlocking(listener, true), 0);
    client = platform::CreateStreamSocket();
    const auto port = static_cast<uint16_t>(platform::LocalPort(listener));
    ASSERT_EQ(platform::ConnectSocket(client, loopback::LoopbackAddress(), port), 0);
    const linger reset{1, 0};  // the close then resets the connection
    setsockopt(static_cast<SOCKET>(client), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&reset), sizeof reset);
    platform::CloseSocket(std::exchange(client, kInvalidSocket));
    std::this_thread::sleep_for(100ms);
    accepted = platform::AcceptConnection(listener);
    if (accepted == kInvalidSocket) {
        EXPECT_TRUE(WouldBlock());
    } else {
        uint8_t byte = 0;
        const int received = platform::ReceiveBytes(accepted, &byte, 1);
        EXPECT_TRUE(received == 0 || (received == kSocketError && !WouldBlock())) << received;
    }
}

TEST_F(Win32Sockets, AnUnboundSocketHasNoPortAndCannotListen) {
    const SocketHandle unbound = platform::CreateStreamSocket();
    EXPECT_EQ(platform::LocalPort(unbound), -1);
    EXPECT_EQ(platform::ListenSocket(unbound, 1), kSocketError);
    platform::CloseSocket(unbound);
}

// A blocking receive would return the byte the client sends after three seconds.
TEST_F(Win32Sockets, AConnectionTakenFromANonBlockingListenerDoesNotBlock) {
    ConnectAndAccept(true);
    std::thread lateSender([this] {
        std::this_thread::sleep_for(3s);
        Send("x");
    });
    uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(platform::ReceiveBytes(accepted, &byte, 1), kSocketError);
    EXPECT_TRUE(WouldBlock());
    EXPECT_LT(Clock::now() - start, 1s);
    lateSender.join();
}

TEST_F(Win32Sockets, AConnectionTakenFromABlockingListenerWaitsForData) {
    ConnectAndAccept(false);
    std::thread lateSender([this] {
        std::this_thread::sleep_for(300ms);
        Send("x");
    });
    uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(platform::ReceiveBytes(accepted, &byte, 1), 1);
    EXPECT_GE(Clock::now() - start, 200ms);
    lateSender.join();
}

TEST_F(Win32Sockets, PeekLeavesTheBytesForTheNextReceive) {
    ConnectAndAccept(true);
    ASSERT_EQ(platform::SetSocketNonBlocking(accepted, true), 0);
    ASSERT_TRUE(Send("abc"));
    uint8_t buffer[8] = {};
    int peeked = kSocketError;
    for (const auto deadline = Clock::now() + 2s; peeked != 3 && Clock::now() < deadline;) {
        peeked = platform::PeekBytes(accepted, buffer, sizeof buffer);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(peeked, 3);
    EXPECT_EQ(platform::PeekBytes(accepted, buffer, sizeof buffer), 3);
    EXPECT_EQ(platform::ReceiveBytes(accepted, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, buffer + 3), "abc");
    EXPECT_EQ(platform::ReceiveBytes(accepted, buffer, sizeof buffer), kSocketError);
    EXPECT_TRUE(WouldBlock());
}

// The TCP listener's port while it is held: no other socket binds it, not even one that asks to
// share it (SO_REUSEADDR, which a listener of its own made with SO_REUSEADDR would let through).
// And once the listener's connection and the listener are closed, host first, the next listener
// binds the same port at once: the closed connection leaves nothing that holds the port. (Wine
// lets that bind through whether the host's close resets the connection or ends it gracefully,
// and shows the bridge either close as a plain end.)
TEST(Win32ListeningPort, IsTheListenersAloneAndFreeForTheNextListenerRightAfterItsConnection) {
    ASSERT_EQ(platform::InitWinsock(), 0);
    const SocketHandle listener = platform::CreateStreamSocket();
    ASSERT_EQ(platform::ReserveListeningPort(listener), 0);
    ASSERT_EQ(platform::BindSocket(listener, 0, 0), 0);
    ASSERT_EQ(platform::ListenSocket(listener, 2), 0);
    const auto port = static_cast<uint16_t>(platform::LocalPort(listener));

    // Wine refuses the intruder's bind below whatever the listener asked for, as Linux does; the
    // listener's options show what Windows goes by.
    BOOL exclusive = FALSE;
    BOOL shared = TRUE;
    int length = sizeof exclusive;
    getsockopt(static_cast<SOCKET>(listener), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<char*>(&exclusive), &length);
    getsockopt(static_cast<SOCKET>(listener), SOL_SOCKET, SO_REUSEADDR,
               reinterpret_cast<char*>(&shared), &length);
    EXPECT_TRUE(exclusive);
    EXPECT_FALSE(shared);

    const SocketHandle intruder = platform::CreateStreamSocket();
    const BOOL share = TRUE;
    setsockopt(static_cast<SOCKET>(intruder), SOL_SOCKET, SO_REUSEADDR,
               reinterpret_cast<const char*>(&share), sizeof share);
    EXPECT_EQ(platform::BindSocket(intruder, 0, port), kSocketError);
    EXPECT_EQ(platform::BindSocket(intruder, loopback::LoopbackAddress(), port), kSocketError);
    platform::CloseSocket(intruder);

    const SocketHandle bridge = platform::CreateStreamSocket();
    ASSERT_EQ(platform::ConnectSocket(bridge, loopback::LoopbackAddress(), port), 0);
    const SocketHandle accepted = platform::AcceptConnection(listener);
    ASSERT_NE(accepted, kInvalidSocket);
    const uint8_t request[9] = {1, 0, 0, 0, 1, 0, 0, 0, 0};
    ASSERT_EQ(platform::SendBytes(accepted, request, sizeof request), 9);
    platform::CloseSocket(listener);
    platform::CloseAcceptedConnection(accepted);
    platform::CloseSocket(bridge);

    const SocketHandle next = platform::CreateStreamSocket();
    ASSERT_EQ(platform::ReserveListeningPort(next), 0);
    EXPECT_EQ(platform::BindSocket(next, 0, port), 0) << platform::LastSocketError();
    platform::CloseSocket(next);
}

}  // namespace
