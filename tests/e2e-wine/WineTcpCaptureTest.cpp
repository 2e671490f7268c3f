#include <gtest/gtest.h>

#include <memory>

#include "ArrivalTimes.h"
#include "HostMessages.h"
#include "HostSession.h"
#include "LoopbackPeer.h"
#include "PadStrokes.h"
#include "WinePrefix.h"

namespace {

using namespace testsupport;

const std::string kIdentity = "pad-bridge-1";

// The Windows host under Wine with padsim, a Linux program, as the pad on a loopback port.
class WineTcpCapture : public ::testing::Test {
protected:
    void WriteListenerSettings(const std::string& extra = "") {
        prefix.WriteSettings(
            "[Tablet]\nTabletType=7\nEnableLogging=1\nSocketPort=" + std::to_string(port - 1) +
            "\nSocketTimeout=8000\nTabletPortPath=" + kIdentity + "\n" + extra);
    }
    std::string WriteStrokes(const std::vector<PadPoint>& points) {
        return WriteStrokesFile(scratch.path() + "/strokes.txt", points);
    }
    void StartPadsim(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), PADSIM_BINARY);
        padsim = std::make_unique<ChildProcess>(arguments);
    }
    void StartBridge(const std::vector<PadPoint>& points, const std::string& rate) {
        StartPadsim({"bridge", "--port", std::to_string(port), "--identity", kIdentity,
                     "--time-limit", "60", "--strokes", WriteStrokes(points), "--raw-coordinates",
                     "--rate", rate});
    }
    void ExpectExactly(const std::vector<std::string>& expected) {
        const std::vector<std::string> received = host->ReadFrames(expected.size(), 30000ms);
        ASSERT_EQ(received.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(received[i], expected[i]) << "message " << i;
        }
        EXPECT_EQ(host->process().Read(1, 300ms), "") << "more messages than points";
    }

    WinePrefix prefix;
    TemporaryRoot scratch;
    uint16_t port = loopback::FreePort();
    std::unique_ptr<ChildProcess> padsim;
    std::unique_ptr<HostSession> host;
};

TEST_F(WineTcpCapture, ListenerTurnsStrokesIntoExactPointMessagesUnderRotation) {
    WriteListenerSettings("TabletRotation=90\n");
    StartBridge(kTwoStrokes, "500");
    host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    ExpectExactly(ExpectedMessages(kTwoStrokes, 90));
    host->CloseExpectingGoodbyeLast();
}

// OPEN2: the pad's numbers, each point's arrival time at the pad's pace (200 a second), and GONE
// once when the bridge goes; CLOSE then ends the host as ever.
TEST_F(WineTcpCapture, Open2GivesNumbersArrivalTimesAtThePadsPaceAndGoneOnceTheBridgeGoes) {
    const std::vector<PadPoint> points = LongStroke(400);
    WriteListenerSettings();
    StartBridge(points, "200");
    host = prefix.StartHost();
    host->Send(kRichOpen);
    EXPECT_EQ(host->ReadFrame(15000ms), kRichOpenReply);
    const std::vector<std::string> expected = ExpectedMessages(points);
    const TimedMessages received = SplitArrivalTimes(host->ReadFrames(expected.size(), 30000ms));
    EXPECT_EQ(received.plain, expected);
    ASSERT_EQ(received.times.size(), expected.size());
    ExpectPadPace(received.times, 5);
    padsim.reset();
    EXPECT_EQ(host->ReadFrame(5000ms), kGone);
    EXPECT_EQ(host->process().Read(1, 500ms), "") << "more than one GONE";
    host->CloseExpectingGoodbyeLast();
}

TEST_F(WineTcpCapture, ListenerDeliversTwentyThousandPointsExactAndInOrder) {
    const std::vector<PadPoint> points = LongStroke(20000);
    WriteListenerSettings();
    // Twenty times a real pad's rate, a pace the emulated host keeps on a busy two-core machine.
    StartBridge(points, "4000");
    host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    ExpectExactly(ExpectedMessages(points));
    host->CloseExpectingGoodbyeLast();
}

// The end of the browser's input ends the host at once, its capture threads with it.
TEST_F(WineTcpCapture, InputThatEndsDuringACaptureEndsTheHostWithExitZero) {
    WriteListenerSettings();
    StartPadsim({"bridge", "--port", std::to_string(port), "--identity", kIdentity, "--time-limit",
                 "60", "--loop", "--rate", "1000"});
    host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    EXPECT_EQ(host->ReadFrames(20).size(), 20u);
    host->process().CloseInput();
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    std::string rest;
    EXPECT_TRUE(host->process().OutputEnds(1000ms, &rest));
    EXPECT_EQ(rest.find(kGoodbye), std::string::npos);
}

// Captures one after another on one port: each host listens at once after the last one's CLOSE
// (its bind line says 0, 0), though the port's listener is exclusive while it is held.
TEST_F(WineTcpCapture, EachCaptureRightAfterAClosedOneListensOnTheSamePort) {
    WriteListenerSettings();
    StartPadsim({"bridge", "--port", std::to_string(port), "--identity", kIdentity, "--time-limit",
                 "90", "--loop", "--rate", "1000"});
    for (int capture = 0; capture < 3; ++capture) {
        SCOPED_TRACE(capture);
        host = prefix.StartHost();
        host->SendOpen();
        EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
        EXPECT_EQ(host->ReadFrames(20).size(), 20u);
        host->CloseExpectingGoodbyeLast();
        EXPECT_TRUE(prefix.LogHas("NewSocket Accept error 0, 0"));
        EXPECT_FALSE(prefix.LogHas("NewSocket Accept error -1"));
    }
}

TEST_F(WineTcpCapture, ClientCapturesFromThePadSimulatorServer) {
    prefix.WriteSettings("[Tablet]\nTabletType=5\nEnableLogging=1\nSocketPort=" +
                         std::to_string(port) + "\nTabletIpAddress=127.0.0.1\n");
    StartPadsim({"server", "--port", std::to_string(port), "--strokes", WriteStrokes(kTwoStrokes),
                 "--raw-coordinates", "--time-limit", "30", "--rate", "500"});
    ASSERT_TRUE(padsim->WaitForErrorOutput("listening on"));
    host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    // The server sends finished logical points: they reach the browser unchanged.
    const std::vector<std::string> expected = UnmappedMessages(kTwoStrokes);
    ExpectExactly(expected);
    host->CloseExpectingGoodbyeLast();
}

}  // namespace
