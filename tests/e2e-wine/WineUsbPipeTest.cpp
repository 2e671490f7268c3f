#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
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
#include "padsim/PadGeometry.h"
#include "padsim/SampleSignature.h"

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

// The pen points of padsim's signature, as winepad's sign command sends them.
std::vector<PadPoint> SignaturePoints() {
    std::vector<PadPoint> points;
    for (const padsim::PadPoint& p :
         padsim::FitIntoWindow(padsim::SampleSignatureDrawing(), padsim::PadWindow{})) {
        points.push_back({p.x, p.y, p.touch});
    }
    return points;
}

std::vector<std::string> Touching(const std::vector<std::string>& messages) {
    std::vector<std::string> touching;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(touching),
                 [](const std::string& m) { return m.find("\"P\":1") != std::string::npos; });
    return touching;
}

// A pen that keeps sending, 50 packets a second (padsim's signature, paced by winepad), from
// before the OPEN until well after it: the open discards what the pad held and captures from
// there. Counted in the pen's packets: the reply comes while the pen still sends, and the points
// that reach the browser are the signature's from some point on, to its last, none missing.
TEST_F(WineUsbPipe, OpenBesideAPenThatKeepsSendingRepliesAndCapturesTheRest) {
    const uint32_t pad = pads.PlugPipe();
    ASSERT_NE(pad, 0u);
    prefix.WriteSettings("[Tablet]\r\nTabletType=2\r\nEnableLogging=1\r\n");
    host = prefix.StartHost();
    std::atomic<bool> penLifted{false};
    std::thread pen([&] {
        EXPECT_TRUE(pads.Command("sign " + std::to_string(pad) + " 0 50", "signed", 120000ms));
        penLifted = true;
    });
    host->SendOpen();
    const std::optional<std::string> reply = host->ReadFrame(90000ms);
    const bool penOnAtReply = !penLifted;
    pen.join();
    EXPECT_EQ(reply, kDefaultOpenReply);
    EXPECT_TRUE(penOnAtReply) << "OPEN answered only once the pen had stopped";

    const std::vector<std::string> expected = Touching(ExpectedMessages(SignaturePoints()));
    std::vector<std::string> received;
    for (std::optional<std::string> frame; (frame = host->ReadFrame(2000ms));) {
        received.push_back(*frame);
    }
    received = Touching(received);
    ASSERT_FALSE(received.empty()) << "the whole signature discarded";
    const bool tail =
        received.size() <= expected.size() &&
        std::equal(received.begin(), received.end(), expected.end() - received.size());
    EXPECT_TRUE(tail) << received.size() << " of " << expected.size()
                      << " touching points, not the signature's last ones in order";
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
