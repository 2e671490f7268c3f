#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "TemporaryRoot.h"
#include "platform/Clock.h"
#include "tablet/Tablet.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ScopedInkoraRoot;

const std::vector<uint8_t> kPenPacket = {0x81, 0x27, 0x0C, 0x49, 0x09};

// A Tablet whose input loop runs, fed directly through FeedReport.
class InputLoop : public ::testing::Test {
protected:
    void SetUp() override {
        root.WriteSettings("[Tablet]\nEnableLogging=1\n");
        tablet = std::make_unique<Tablet>();
        tablet->inputProcessor->StartSerialInput();
    }
    void TearDown() override { tablet->inputProcessor->CloseProcessInputData(); }

    void Feed(const std::vector<uint8_t>& bytes) {
        tablet->FeedReport(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    // Leaves the reset state with one lone byte.
    void EndResetState() {
        Feed({0x00});
        ASSERT_TRUE(WaitForCount(*tablet->byteQueue, 1));
        Drain(*tablet->byteQueue);
    }
    static bool WaitForCount(PointQueue& queue, int32_t count) {
        for (int i = 0; i < 200 && queue.GetPointCount() < count; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        return queue.GetPointCount() == count;
    }
    void WaitUntilTaken() {
        for (int i = 0; i < 1000 && tablet->inputRing->GetCount() > 0; ++i) {
            std::this_thread::sleep_for(1ms);
        }
    }
    // Waits until the loop has taken every byte and settled, then reads the queue.
    std::vector<uint32_t> Settle(PointQueue& queue) {
        WaitUntilTaken();
        std::this_thread::sleep_for(40ms);
        return Drain(queue);
    }
    static std::vector<uint32_t> Drain(PointQueue& queue) {
        std::vector<uint32_t> values;
        PointRecord record;
        while (queue.GetPointCount() > 0) {
            queue.PopPoint(record);
            values.push_back(record.penData);
        }
        return values;
    }
    std::string Log() { return root.ReadFile(root.TempPath("tessel.log")); }

    ScopedInkoraRoot root;
    std::unique_ptr<Tablet> tablet;
};

// The first byte after a start ends the reset state; a packet that starts there is kept (a pad
// that did not answer the numbers query sends its first point first).
TEST_F(InputLoop, FirstByteAfterStartEndsTheResetStateAndStartsAPacketWhenItIsASyncByte) {
    struct Case {
        std::vector<uint8_t> leading;
        std::vector<uint32_t> lone;
    };
    // The log is the process's: the case that writes the line first must be the one checked.
    for (const Case& c : {Case{{}, {}}, Case{{0x80}, {Tablet::MakeByteItem(0x80)}}}) {
        TearDown();
        tablet.reset();  // its log goes with it before the next one opens it
        SetUp();
        if (!c.leading.empty()) {
            Feed(c.leading);
        }
        Feed(kPenPacket);
        ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 1)) << c.leading.size();
        EXPECT_EQ(Settle(*tablet->byteQueue), c.lone);
        EXPECT_EQ(PenX(Drain(*tablet->pointQueue)[0]), 1075);
        EXPECT_FALSE(tablet->serialResetState.load());
        EXPECT_NE(Log().find("ResetSerialInput Setting serial reset state false"),
                  std::string::npos);
    }
}

TEST_F(InputLoop, DataByteOutsideAPacketIsLone) {
    EndResetState();
    Feed({0x41});
    EXPECT_EQ(Settle(*tablet->byteQueue), std::vector<uint32_t>{Tablet::MakeByteItem(0x41)});
    EXPECT_TRUE(Drain(*tablet->pointQueue).empty());
}

TEST_F(InputLoop, FirstOfTwoSyncBytesIsLoneAndTheSecondStartsAPacket) {
    EndResetState();
    Feed({0x80, 0x81, 0x27, 0x0C, 0x49, 0x09});
    ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 1));
    EXPECT_EQ(Settle(*tablet->byteQueue), std::vector<uint32_t>{Tablet::MakeByteItem(0x80)});
}

// 30 ms lies between the 20 ms gap and a rule twice as long. The silence starts once the loop
// has taken the sync byte, and a slow machine can only lengthen it.
TEST_F(InputLoop, SyncByteFollowedBySilenceIsLone) {
    EndResetState();
    for (const auto silence : {30ms, 60ms}) {
        Feed({0x81});
        WaitUntilTaken();
        std::this_thread::sleep_for(silence);
        Feed({0x27, 0x0C, 0x49, 0x09});
        const std::vector<uint32_t> lone = Settle(*tablet->byteQueue);
        ASSERT_EQ(lone.size(), 5u) << silence.count();
        EXPECT_EQ(lone[0], Tablet::MakeByteItem(0x81));
        EXPECT_TRUE(Drain(*tablet->pointQueue).empty());
    }
}

// The loop takes the sync byte and waits on the empty ring; the rest comes as soon as the test
// sees the byte taken, with no pause of the test's own, so that only the loop's wait lies between.
TEST_F(InputLoop, SyncByteFollowedByAShortPauseStartsAPacket) {
    EndResetState();
    Feed({0x81});
    WaitUntilTaken();
    Feed({0x27, 0x0C, 0x49, 0x09});
    ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 1));
    EXPECT_TRUE(Settle(*tablet->byteQueue).empty());
}

TEST_F(InputLoop, PauseInsideAPacketKeepsIt) {
    EndResetState();
    Feed({0x81, 0x27, 0x0C});
    std::this_thread::sleep_for(80ms);
    Feed({0x49, 0x09});
    ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 1));
    EXPECT_TRUE(Settle(*tablet->byteQueue).empty());
}

TEST_F(InputLoop, SyncByteInPlaceOfADataByteLosesThePacketOnly) {
    EndResetState();
    Feed({0x81, 0x27, 0x85, 0x49, 0x09});
    Feed(kPenPacket);
    ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 1));
    EXPECT_TRUE(Settle(*tablet->byteQueue).empty());
    EXPECT_EQ(Drain(*tablet->pointQueue).size(), 1u);
}

TEST_F(InputLoop, CloseWhileTheLoopWaitsReturnsPromptly) {
    std::this_thread::sleep_for(30ms);  // the loop is blocked on the empty ring
    const uint32_t start = platform::TimeGetTime();
    tablet->inputProcessor->CloseProcessInputData();
    EXPECT_LT(platform::TimeGetTime() - start, 100u);
    EXPECT_FALSE(tablet->inputRunning);
    const std::string log = Log();
    EXPECT_LT(log.find("CloseProcessInputData entry"), log.find("CloseProcessInputData exit"));
}

TEST_F(InputLoop, ManyPacketsArriveInOrder) {
    EndResetState();
    std::vector<uint8_t> stream;
    for (int i = 0; i < 2000; ++i) {
        const int x = 500 + i % 2000;
        stream.insert(stream.end(), {0x81, static_cast<uint8_t>(x & 0x7F),
                                     static_cast<uint8_t>(x >> 7), 0x49, 0x09});
    }
    Feed(stream);
    ASSERT_TRUE(WaitForCount(*tablet->pointQueue, 2000));
    const std::vector<uint32_t> points = Drain(*tablet->pointQueue);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(PenX(points[static_cast<size_t>(i)]), i % 2000) << i;
    }
}

}  // namespace
