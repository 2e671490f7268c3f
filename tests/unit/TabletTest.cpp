#include "tablet/Tablet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TemporaryRoot.h"
#include "platform/Clock.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::ScopedInkoraRoot;

TEST(Tablet, KindsWithoutATransportNeitherOpenNorAreFound) {
    for (const char* type : {"1", "4"}) {
        ScopedInkoraRoot root;
        root.WriteSettings(std::string("[Tablet]\nEnableLogging=1\nTabletType=") + type + "\n");
        Tablet tablet;
        EXPECT_FALSE(tablet.OpenTablet());
        EXPECT_FALSE(tablet.isOpen);
        EXPECT_FALSE(tablet.CheckTabletConnected());
        EXPECT_FALSE(tablet.CloseTablet());
        const std::string log = root.ReadFile(root.TempPath("tessel.log"));
        EXPECT_EQ(log.find("CheckTabletConnected"), std::string::npos) << log;
    }
}

TEST(Tablet, ClosedTabletAnswersNumberQueriesAtOnce) {
    ScopedInkoraRoot root;
    Tablet tablet;
    tablet.serialNumber = 77;
    const uint32_t start = platform::TimeGetTime();
    EXPECT_EQ(tablet.GetSerialNumber(), 77);
    EXPECT_EQ(tablet.GetModelNumber(), 0);
    EXPECT_LT(platform::TimeGetTime() - start, 50u);
}

TEST(Tablet, GetNextPointWaitsForAnEmptyQueueUntilTheTimeout) {
    ScopedInkoraRoot root;
    Tablet tablet;
    PointRecord record{};
    auto start = Clock::now();
    EXPECT_FALSE(tablet.GetNextPoint(record, 0));
    EXPECT_LT(Clock::now() - start, 10ms) << "a zero timeout waited";
    start = Clock::now();
    EXPECT_FALSE(tablet.GetNextPoint(record, 50));
    EXPECT_GE(Clock::now() - start, 50ms);
    EXPECT_LT(Clock::now() - start, 200ms);

    for (uint32_t i = 1; i <= 5; ++i) {
        tablet.pointQueue->PushPoint(i, 10 * i, 0);
    }
    start = Clock::now();
    for (uint32_t i = 1; i <= 5; ++i) {
        ASSERT_TRUE(tablet.GetNextPoint(record, 10));
        EXPECT_EQ(record.penData, i);
        EXPECT_EQ(record.timeStamp, 10 * i);
    }
    EXPECT_LT(Clock::now() - start, 10ms) << "queued points were not taken at once";
}

// The point that arrives must be what ends the wait. Should it not wake the waiter, a watchdog
// ends the wait instead after a while far longer than any machine needs, and the test counts
// which of the two did.
TEST(Tablet, GetNextPointTakesAPointThatArrivesWhileItWaitsAtOnce) {
    ScopedInkoraRoot root;
    Tablet tablet;
    for (const uint32_t timeout : {20000u, kWaitForever}) {
        SCOPED_TRACE(timeout);
        std::mutex lock;
        std::condition_variable changed;
        bool returned = false;
        bool rescued = false;
        std::thread producer([&] {
            std::this_thread::sleep_for(15ms);  // the waiter has begun to wait, most likely
            tablet.pointQueue->PushItem(42);
            std::unique_lock<std::mutex> hold(lock);
            if (!changed.wait_for(hold, 5s, [&] { return returned; })) {
                rescued = true;
                tablet.WakeNextPointWait();
            }
        });
        PointRecord record{};
        EXPECT_TRUE(tablet.GetNextPoint(record, timeout));
        {
            std::lock_guard<std::mutex> hold(lock);
            returned = true;
        }
        changed.notify_one();
        producer.join();
        EXPECT_EQ(record.penData, 42u);
        EXPECT_FALSE(rescued) << "the waiter was not woken by the point";
    }
}

TEST(Tablet, WakeEndsAWaitWithoutAPointAndIsKeptForAWaitThatHasNotBegun) {
    ScopedInkoraRoot root;
    Tablet tablet;
    PointRecord record{};
    tablet.WakeNextPointWait();
    EXPECT_FALSE(tablet.GetNextPoint(record, kWaitForever));

    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        tablet.WakeNextPointWait();
    });
    const auto start = Clock::now();
    EXPECT_FALSE(tablet.GetNextPoint(record, kWaitForever));
    EXPECT_LT(Clock::now() - start, 1s);
    waker.join();

    const auto again = Clock::now();
    EXPECT_FALSE(tablet.GetNextPoint(record, 30));
    EXPECT_GE(Clock::now() - again, 30ms) << "a spent wake-up ended a later wait";
}

TEST(Tablet, BytesFedThroughFeedReportComeOutAsExactRecords) {
    ScopedInkoraRoot root;
    Tablet tablet;
    tablet.inputProcessor->StartSerialInput();
    const uint8_t stream[] = {0x00,                           // ends the reset state
                              0x9C, 0x05, 0x03, 0x7F, 0x07,   // auxiliary value 1023
                              0x81, 0x27, 0x0C, 0x49, 0x09,   // pen down at 1575, 1225
                              0x80, 0x27, 0x0C, 0x49, 0x09};  // pen up at the same place
    const uint32_t before = platform::TimeGetTime();
    tablet.FeedReport(stream, sizeof stream);
    PointRecord down{};
    PointRecord up{};
    ASSERT_TRUE(tablet.GetNextPoint(down, 1000));
    ASSERT_TRUE(tablet.GetNextPoint(up, 1000));
    tablet.inputProcessor->CloseProcessInputData();
    EXPECT_EQ(down.penData, 0xBC324308u);
    EXPECT_EQ(up.penData, 0xBC324300u);
    EXPECT_EQ(down.auxValue, 1023);
    EXPECT_GE(down.timeStamp - before, 0u);
    EXPECT_LT(down.timeStamp - before, 1000u);
}

}  // namespace
