#include "host/PointPump.h"

#include "host/FrameBatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "TemporaryRoot.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;

uint32_t Pen(uint8_t status, int x, int y) {
    return status | static_cast<uint32_t>(x >> 4) << 8 |
           static_cast<uint32_t>((x & 0x0F) << 4 | (y >> 8)) << 16 |
           static_cast<uint32_t>(y & 0xFF) << 24;
}

std::vector<std::string> MessagesFor(const std::vector<uint32_t>& entries) {
    bool penWasDown = false;
    std::vector<std::string> messages;
    for (uint32_t penData : entries) {
        PointMessage message;
        if (PointMessageFor(penData, penWasDown, message)) {
            EXPECT_EQ(message.text[message.length], '\0');
            messages.emplace_back(message.View());
        }
    }
    return messages;
}

TEST(PointPump, SendsTouchingPointsAndTheFirstLiftOnly) {
    const std::vector<std::string> messages =
        MessagesFor({Pen(0x00, 1, 1), Pen(0x08, 10, 20), Pen(0x08, 11, 21), Pen(0x08, 12, 22),
                     Pen(0x00, 13, 23), Pen(0x00, 14, 24)});
    const std::vector<std::string> expected = {"{\"command\":\"POINT\",\"X\":10,\"Y\":20,\"P\":1}",
                                               "{\"command\":\"POINT\",\"X\":11,\"Y\":21,\"P\":1}",
                                               "{\"command\":\"POINT\",\"X\":12,\"Y\":22,\"P\":1}",
                                               "{\"command\":\"POINT\",\"X\":13,\"Y\":23,\"P\":0}"};
    EXPECT_EQ(messages, expected);
}

TEST(PointPump, UnpacksTwelveBitCoordinates) {
    EXPECT_EQ(MessagesFor({0xEFCDAB08u}),
              std::vector<std::string>{"{\"command\":\"POINT\",\"X\":2748,\"Y\":3567,\"P\":1}"});
    EXPECT_EQ(MessagesFor({Pen(0x08, 0, 0), Pen(0x08, 4095, 4095), Pen(0x00, 10, 0)}),
              (std::vector<std::string>{"{\"command\":\"POINT\",\"X\":0,\"Y\":0,\"P\":1}",
                                        "{\"command\":\"POINT\",\"X\":4095,\"Y\":4095,\"P\":1}",
                                        "{\"command\":\"POINT\",\"X\":10,\"Y\":0,\"P\":0}"}));
}

TEST(PointPump, EntriesThatAreNotPenPointsAreSkippedWithoutChangingTheTouchState) {
    const std::vector<std::string> messages =
        MessagesFor({Pen(0x08, 1, 1), Pen(0x28, 2, 2), Pen(0x40, 3, 3), Pen(0x00, 4, 4)});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], "{\"command\":\"POINT\",\"X\":4,\"Y\":4,\"P\":0}");
    EXPECT_TRUE(MessagesFor({Pen(0x68, 5, 5), Pen(0x00, 6, 6)}).empty());
}

// "T" counts from the OPEN reply on the wrapping millisecond clock; a point that arrived before
// the reply (while the numbers were asked for) counts 0 rather than wrapping to 4294967295.
TEST(PointPump, ArrivalTimeCountsFromTheOpenReplyAcrossTheClockWrap) {
    struct Case {
        uint32_t openedAt;
        uint32_t arrived;
        std::string time;
    };
    for (const Case& c : {Case{1000, 1005, "5"}, Case{0xFFFFFFFEu, 3, "5"}, Case{1000, 990, "0"},
                          Case{0, 0x7FFFFFFFu, "2147483647"}}) {
        SCOPED_TRACE(c.arrived);
        bool penWasDown = false;
        PointMessage message;
        ASSERT_TRUE(PointMessageFor(Pen(0x08, 4095, 4095), penWasDown, message));
        AddArrivalTime(message, MillisecondsSince(c.openedAt, c.arrived));
        EXPECT_EQ(message.View(),
                  "{\"command\":\"POINT\",\"X\":4095,\"Y\":4095,\"P\":1,\"T\":" + c.time + "}");
        EXPECT_EQ(message.text[message.length], '\0');
        EXPECT_LE(message.length + 1, FrameBatch::kLongestMessage);
    }
}

TEST(PointPump, StopEndsAPumpThatWaitsOnAnEmptyQueueAtOnce) {
    testsupport::ScopedInkoraRoot root;
    Tablet tablet;
    PumpControl control;
    control.currentTablet = &tablet;
    for (const auto idle : {0ms, 50ms}) {
        control.stopPump = false;
        auto pump = std::async(std::launch::async, [&] { PointPump(control); });
        std::this_thread::sleep_for(idle);
        const auto stopped = std::chrono::steady_clock::now();
        StopPointPump(control);
        ASSERT_EQ(pump.wait_for(2s), std::future_status::ready);
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, 50ms);
    }
}

// CLOSE holds the Tablet's lock while it stops the pump and destroys the Tablet. A pump that was
// waiting for that lock must look at the stop flag once it holds it, and leave the destroyed
// Tablet alone. (The pause lets the pump reach the lock: a slow machine can only hide the fault.)
TEST(PointPump, PumpThatWaitedForTheTabletLockLeavesAClosedTabletAlone) {
    testsupport::ScopedInkoraRoot root;
    auto tablet = std::make_unique<Tablet>();
    PumpControl control;
    control.currentTablet = tablet.get();
    std::unique_lock<std::mutex> closing(control.tabletInUse);
    auto pump = std::async(std::launch::async, [&] { PointPump(control); });
    std::this_thread::sleep_for(100ms);
    StopPointPump(control);
    control.currentTablet = nullptr;
    tablet.reset();
    closing.unlock();
    ASSERT_EQ(pump.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(WaitForPumpEnd(control, 0ms));
}

}  // namespace
