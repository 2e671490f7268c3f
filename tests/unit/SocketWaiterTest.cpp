#include "platform/SocketWaiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "LoopbackPeer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = platform::SocketWaiter::Outcome;
using loopback::Connection;
constexpr int32_t kForever = platform::SocketWaiter::kNoTimeLimit;

// Both ends of a loopback connection: `near` is the end the waiter watches.
class SocketWaiterTest : public ::testing::Test {
protected:
    void SetUp() override {
        far = loopback::ConnectWhenListening(server.port(), 2s);
        near = server.Accept(2s);
        ASSERT_TRUE(far.valid());
        ASSERT_TRUE(near.valid());
        platform::SetSocketNonBlocking(near.socket(), true);
    }

    // Waits on another thread, so that the test can act while the wait blocks.
    std::future<Outcome> WaitAside(platform::SocketHandle socket) {
        auto outcome = std::async(std::launch::async,
                                  [this, socket] { return waiter.Wait(socket, kForever); });
        std::this_thread::sleep_for(30ms);
        return outcome;
    }

    loopback::Server server;
    Connection far;
    Connection near;
    platform::SocketWaiter waiter;
};

TEST_F(SocketWaiterTest, SilenceLastsUntilTheTimeout) {
    const auto start = Clock::now();
    EXPECT_EQ(waiter.Wait(near.socket(), 40), Outcome::TimedOut);
    EXPECT_GE(Clock::now() - start, 35ms);
    EXPECT_EQ(waiter.Wait(platform::kInvalidSocket, 10), Outcome::TimedOut);
}

TEST_F(SocketWaiterTest, ArrivingBytesEndABlockedWaitAndWaitingBytesEndOneAtOnce) {
    auto outcome = WaitAside(near.socket());
    ASSERT_TRUE(far.SendAll({1, 2, 3}));
    ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(outcome.get(), Outcome::Readable);
    // Still unread: readable again, at once.
    EXPECT_EQ(waiter.Wait(near.socket(), 1000), Outcome::Readable);
    uint8_t buffer[8];
    EXPECT_EQ(platform::ReceiveBytes(near.socket(), buffer, sizeof buffer), 3);
    EXPECT_EQ(waiter.Wait(near.socket(), 30), Outcome::TimedOut);
}

TEST_F(SocketWaiterTest, PeerThatClosesEndsTheWait) {
    auto outcome = WaitAside(near.socket());
    far.Close();
    ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(outcome.get(), Outcome::Readable);
    uint8_t buffer[8];
    EXPECT_EQ(platform::ReceiveBytes(near.socket(), buffer, sizeof buffer), 0);
}

TEST_F(SocketWaiterTest, WakeEndsABlockedWaitOrTheNextOneButOnlyOne) {
    for (const platform::SocketHandle socket : {near.socket(), platform::kInvalidSocket}) {
        auto outcome = WaitAside(socket);
        waiter.Wake();
        ASSERT_EQ(outcome.wait_for(2s), std::future_status::ready);
        EXPECT_EQ(outcome.get(), Outcome::Woken);

        waiter.Wake();
        waiter.Wake();
        EXPECT_EQ(waiter.Wait(socket, kForever), Outcome::Woken);
        EXPECT_EQ(waiter.Wait(socket, 30), Outcome::TimedOut);
    }
}

}  // namespace
