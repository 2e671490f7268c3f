#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "HostMessages.h"
#include "HostSession.h"
#include "PadStrokes.h"
#include "WinePad.h"
#include "WinePrefix.h"

namespace {

using namespace testsupport;

constexpr size_t kPipePacket = 4;

// The Windows host under Wine with pads of the legacy USB pipe driver that winepad presents:
// the host finds them by the driver's interface class through SetupAPI and reads their packets
// with blocking reads from the driver.
class WineUsbPipe : public ::testing::Test {
protected:
    void Open(const std::string& settings = "") {
        prefix.WriteSettings("[Tablet]\r\nTabletType=2\r\nEnableLogging=1\r\n" + settings);
        host = prefix.StartHost();
        host->SendOpen();
        EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    }
    bool Feed(uint32_t pad, const std::vector<PadPoint>& points) {
        return pads.FeedBytes(pad, PacketStream(points, true), kPipePacket);
    }

    WinePrefix prefix;
    WinePad pads{prefix.path()};
    std::unique_ptr<HostSession> host;
};

// With UseMultiUsb the second pad of the class is read, and only it; the 60 packets it sent
// before OPEN are discarded at the open.
TEST_F(WineUsbPipe, SearchFindsTheNthPadOfTheDriversClassAndAStrokeArrivesExactly) {
    const uint32_t first = pads.PlugPipe();
    const uint32_t second = pads.PlugPipe();
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ASSERT_TRUE(Feed(second, std::vector<PadPoint>(60, PadPoint{3000, 100, true})));
    Open("UseMultiUsb=1\r\nTabletComPort=2\r\n");
    const std::vector<PadPoint> points = LongStroke(300);
    ASSERT_TRUE(Feed(first, {{2000, 2000, true}}));
    ASSERT_TRUE(Feed(second, points));
    const std::vector<std::string> expected = ExpectedMessages(points);
    EXPECT_EQ(host->ReadFrames(expected.size(), 15000ms), expected);
    host->CloseExpectingGoodbyeLast();
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    EXPECT_TRUE(prefix.LogHas("UsbInitTablet: 60 packets sent before the open discarded"));
}

// A pen resting on the pad from before the OPEN on, 50 packets a second: the open discards what
// the pad held and captures from there. Counted in the pen's packets: the reply comes while the
// pen still sends, and every packet after the discarded ones reaches the browser, in order.
TEST_F(WineUsbPipe, OpenBesideAPenThatKeepsSendingRepliesAndCapturesTheRest) {
    constexpr int kMostPackets = 3000;  // a minute of the pen
    constexpr size_t kPointsBeforeLifting = 25;
    const uint32_t pad = pads.PlugPipe();
    ASSERT_NE(pad, 0u);
    std::vector<PadPoint> pen;
    for (int i = 0; i < kMostPackets; ++i) {
        pen.push_back({600 + i % 2000, 700 + i / 2000, true});
    }
    std::atomic<int> fed{0};
    std::atomic<bool> lifted{false};
    std::thread resting([&] {
        auto next = std::chrono::steady_clock::now();
        while (!lifted && fed < kMostPackets && Feed(pad, {pen[static_cast<size_t>(fed.load())]})) {
            ++fed;
            std::this_thread::sleep_until(next += 20ms);
        }
    });
    prefix.WriteSettings("[Tablet]\r\nTabletType=2\r\nEnableLogging=1\r\n");
    host = prefix.StartHost();
    host->SendOpen();
    const std::optional<std::string> reply = host->ReadFrame(90000ms);
    const int fedAtReply = fed;
    std::vector<std::string> received = host->ReadFrames(kPointsBeforeLifting, 15000ms);
    lifted = true;
    resting.join();
    EXPECT_EQ(reply, kDefaultOpenReply);
    EXPECT_LT(fedAtReply, kMostPackets) << "OPEN answered only once the pen stopped";
    ASSERT_EQ(received.size(), kPointsBeforeLifting);

    const std::vector<std::string> expected = ExpectedMessages({pen.begin(), pen.begin() + fed});
    const auto first = std::find(expected.begin(), expected.end(), received.front());
    ASSERT_NE(first, expected.end()) << received.front();
    EXPECT_LE(first - expected.begin(), fedAtReply) << "a packet sent after the reply discarded";
    const std::vector<std::string> rest =
        host->ReadFrames(static_cast<size_t>(expected.end() - first) - received.size(), 15000ms);
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(received, std::vector<std::string>(first, expected.end()));
    host->CloseExpectingGoodbyeLast();
}

// Pulled out mid-stroke: the reader ends at once, and the host closes and ends. The driver fails
// the reads as a device being deleted, which the program sees as access denied (error 5).
TEST_F(WineUsbPipe, PadPulledOutMidStroke) {
    const uint32_t pad = pads.PlugPipe();
    Open();
    const std::vector<PadPoint> points = LongStroke(20);
    ASSERT_TRUE(Feed(pad, {points.begin(), points.begin() + 10}));
    EXPECT_EQ(host->ReadFrames(10, 15000ms).size(), 10u);
    ASSERT_TRUE(pads.Command("unplug " + std::to_string(pad), "unplugged"));
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1000ms);
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    EXPECT_TRUE(prefix.LogHas("UsbReadThread: read failed with system error 5"));
    EXPECT_TRUE(prefix.LogHas("UsbReadThread: device gone, no more reads"));
}

// A driver that keeps the pending read and ignores its cancellation: the close gives up on the
// read after its limit and leaves the reader behind with it; the host answers and ends.
TEST_F(WineUsbPipe, ReadTheDriverWillNotLetGoIsLeftBehindAndTheHostEnds) {
    const uint32_t pad = pads.PlugPipe();
    Open();
    ASSERT_TRUE(Feed(pad, {{1000, 1000, true}}));
    EXPECT_EQ(host->ReadFrame(5000ms), ExpectedMessages({{1000, 1000, true}}).front());
    ASSERT_TRUE(pads.Command("hold " + std::to_string(pad) + " on", "hold"));
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1500ms);
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    EXPECT_TRUE(
        prefix.LogHas("UsbTabletClose - read not cancelled by the driver, reader left behind"));
    EXPECT_TRUE(pads.Command("hold " + std::to_string(pad) + " off", "hold"));
}

}  // namespace
