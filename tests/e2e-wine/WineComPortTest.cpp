#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
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
using State = std::map<std::string, std::string>;

constexpr size_t kStreamPacket = 5;

// The Windows host under Wine with the pad on a COM port that winepad's serial port driver
// presents: the comm functions reach a kernel driver, as on a user's machine, and the port
// counts what it is asked.
class WineComPort : public ::testing::Test {
protected:
    void Open(int number, const std::string& command = kOpen) {
        prefix.WriteSettings("[Tablet]\r\nTabletType=0\r\nTabletComPort=" + std::to_string(number) +
                             "\r\nTabletBaudRate=38400\r\nEnableLogging=1\r\n");
        host = prefix.StartHost();
        host->Send(command);
    }
    // A port with a pad behind it that answers the numbers query, the host's capture open (the
    // richer capture for OPEN2).
    uint32_t OpenCapture(int number, const std::string& command = kOpen) {
        const uint32_t port = pads.PlugPort(number);
        EXPECT_TRUE(pads.Command("numbers " + std::to_string(port) + " 123456 5 0", "numbers"));
        Open(number, command);
        EXPECT_EQ(host->ReadFrame(15000ms), command == kOpen ? kDefaultOpenReply : kRichOpenReply);
        return port;
    }
    double HostCpuMsOver(Milliseconds period) {
        const double before = ChildCpuMs(host->process().pid());
        std::this_thread::sleep_for(period);
        return ChildCpuMs(host->process().pid()) - before;
    }

    WinePrefix prefix;
    WinePad pads{prefix.path()};
    std::unique_ptr<HostSession> host;
};

// COM21 is opened as \\.\COM21. The numbers query goes out at the pad's line settings, once, as
// the pad answers it at once; a burst larger than the watch thread's 512-byte reads arrives
// exactly; a silent pad costs nothing: its wait for a line event stays pending in the driver,
// which sees no request at all. At the close the driver ends the cancelled wait late: the host
// must not close the port before it has ended.
TEST_F(WineComPort, StrokeArrivesThroughCommEventsAndASilentPadIsAskedNothing) {
    const uint32_t port = OpenCapture(21);
    const std::string id = std::to_string(port);
    EXPECT_EQ(pads.Sent(), std::vector<std::string>(1, "sent " + id + " 4 0 00"));
    const State line = pads.PortState(port);
    const State expectedLine = {{"opens", "1"},
                                {"baud", "38400"},
                                {"line", "8O1"},
                                {"dtr", "1"},
                                {"rts", "1"},
                                {"handflow", "1,40"},
                                {"mask", "1"},
                                {"timeouts", "50,50,0,50,0"},
                                {"queues", "16384,16384"}};
    for (const auto& [name, value] : expectedLine) {
        EXPECT_EQ(line.at(name), value) << name;
    }

    const std::vector<PadPoint> points = LongStroke(300);
    ASSERT_TRUE(pads.FeedBytes(port, PacketStream(points), kStreamPacket));
    const std::vector<std::string> expected = ExpectedMessages(points);
    EXPECT_EQ(host->ReadFrames(expected.size(), 15000ms), expected);

    std::this_thread::sleep_for(200ms);  // the watch thread back in its wait
    const State before = pads.PortState(port);
    const double idleMs = HostCpuMsOver(2000ms);
    const State after = pads.PortState(port);
    for (const char* count : {"waits", "status", "reads", "modem", "writes"}) {
        EXPECT_EQ(after.at(count), before.at(count)) << count << " asked while the pad was silent";
    }
    std::printf("idle CPU under Wine, 2 s with the COM port open: %.0f ms\n", idleMs);

    const auto fed = std::chrono::steady_clock::now();
    ASSERT_TRUE(pads.FeedBytes(port, PadPacket(1000, 1000, true), kStreamPacket));
    EXPECT_EQ(host->ReadFrame(5000ms), ExpectedMessages({{1000, 1000, true}}).front());
    std::printf(
        "one packet to its POINT message through the serial port driver: %.1f ms\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fed).count());
    ASSERT_TRUE(pads.Command("hold " + id + " on", "hold"));
    host->CloseExpectingGoodbyeLast();
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    const State closed = pads.PortState(port);
    EXPECT_EQ(closed.at("opens"), "0");
    EXPECT_EQ(closed.at("dtr"), "0");
    EXPECT_EQ(closed.at("closedwaiting"), "0");
}

// A port the host cannot use for a pad is answered as an absent pad and left free: DSR off (the
// pad switched off), a baud rate the port refuses (SetCommState fails), a port that another
// program holds (the second open is refused).
TEST_F(WineComPort, PortThatCannotServeAPadGetsTheAbsentPadsReplyAndIsLeftFree) {
    const uint32_t port = pads.PlugPort(7);
    const std::string id = std::to_string(port);
    struct Case {
        std::string what;
        std::string set;
        std::string undo;
        std::string held;  // opens while the host runs
    };
    const Case cases[] = {
        {"dsr " + id + " off", "dsr", "dsr " + id + " on", "0"},
        {"refuse " + id + " 38400", "refuse", "refuse " + id + " 0", "0"},
        {"open 7", "opened", "close 7", "1"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(pads.Command(c.what, c.set)) << c.what;
        const State before = pads.PortState(port);
        Open(7);
        EXPECT_EQ(host->ReadFrame(15000ms), kZeroOpenReply) << c.what;
        const State during = pads.PortState(port);
        EXPECT_EQ(during.at("opens"), c.held) << c.what;
        host->CloseExpectingGoodbyeLast();
        EXPECT_EQ(host->process().WaitForExit(5000ms), 0) << c.what;
        if (c.set == "refuse") {
            EXPECT_GT(std::stoi(during.at("refused")), std::stoi(before.at("refused")));
            EXPECT_EQ(during.at("last"), "1b0004");  // IOCTL_SERIAL_SET_BAUD_RATE
        }
        ASSERT_TRUE(pads.Command(c.undo, c.set == "opened" ? "closed" : c.set)) << c.undo;
        EXPECT_EQ(pads.PortState(port).at("opens"), "0") << c.what;
    }
}

// The adapter pulled out mid-stroke: the watch thread says so once, the richer capture is told
// once, and the host waits for the close instead of polling a port that is no longer there.
TEST_F(WineComPort, AdapterPulledOutMidStroke) {
    const uint32_t port = OpenCapture(7, kRichOpen);
    const std::vector<PadPoint> points = LongStroke(20);
    ASSERT_TRUE(
        pads.FeedBytes(port, PacketStream({points.begin(), points.begin() + 10}), kStreamPacket));
    EXPECT_EQ(host->ReadFrames(10, 15000ms).size(), 10u);
    ASSERT_TRUE(pads.Command("unplug " + std::to_string(port), "unplugged"));
    EXPECT_EQ(host->ReadFrame(5000ms), kGone);
    EXPECT_EQ(host->process().Read(1, 500ms), "") << "more than one GONE";
    EXPECT_LT(HostCpuMsOver(2000ms), 100.0);
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1000ms);
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    EXPECT_TRUE(prefix.LogHas("CommWatchThread: serial port gone, no more reads"));
}

}  // namespace
