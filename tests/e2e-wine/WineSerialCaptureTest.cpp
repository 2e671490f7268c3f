#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HostMessages.h"
#include "HostSession.h"
#include "PadStrokes.h"
#include "PseudoTerminal.h"
#include "WinePrefix.h"

namespace {

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

// The Windows host under Wine with the pad on a serial line: a pseudo-terminal that the prefix
// maps as a COM port. It has no modem lines, so the host takes DSR as on, and it drops the
// parity bit the host asks for, which every open after the first has to get past.
class WineSerialCapture : public ::testing::Test {
protected:
    void UsePort(int comPort, int ptsNumber) {
        prefix.MapComPort(comPort, "/dev/pts/" + std::to_string(ptsNumber));
        prefix.WriteSettings("[Tablet]\r\nTabletType=0\r\nTabletComPort=" +
                             std::to_string(comPort) + "\r\nTabletBaudRate=38400\r\n");
    }
    double HostCpuMsOver(Milliseconds period) {
        const double before = ChildCpuMs(host->process().pid());
        std::this_thread::sleep_for(period);
        return ChildCpuMs(host->process().pid()) - before;
    }

    WinePrefix prefix;
    TemporaryRoot scratch;
    std::unique_ptr<HostSession> host;
};

// The presence check opens and closes the port, the capture opens it again: the requests and
// the points only come through if the second open configures the line too.
TEST_F(WineSerialCapture, BurstArrivesExactlyAndAQuietOrHungUpLineNeitherSpinsNorDelaysClose) {
    PseudoTerminal line;
    UsePort(5, line.Number());
    host = prefix.StartHost();
    host->SendOpen();
    ASSERT_EQ(line.Read(4, 15000), Bytes(4, 0x00));
    for (int i = 0; i < 4; ++i) {
        line.Write(PadPacket(123456 >> 12 | 5 << 6, 123456 & 0xFFF, false, 2));
    }
    ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);

    // 1505 bytes in one write: more than the 512 the watch thread reads at a time.
    const std::vector<PadPoint> points = LongStroke(300);
    Bytes burst;
    for (const PadPoint& point : points) {
        const Bytes packet = PadPacket(point.x, point.y, point.touch);
        burst.insert(burst.end(), packet.begin(), packet.end());
    }
    line.Write(burst);
    const std::vector<std::string> expected = ExpectedMessages(points);
    EXPECT_EQ(host->ReadFrames(expected.size(), 15000ms), expected);

    // One point at a time, each written 20 ms after the one before has come out, when the watch
    // thread has gone back to looking at the input queue every 10 ms. Load only delays points,
    // so some come within 50 ms even on a busy machine; at a 100 ms pace none would.
    const std::vector<PadPoint> stroke = LongStroke(20);
    const std::vector<std::string> strokeMessages = ExpectedMessages(stroke);
    auto quickest = std::chrono::steady_clock::duration::max();
    for (size_t i = 0; i < stroke.size(); ++i) {
        std::this_thread::sleep_for(20ms);
        const auto written = std::chrono::steady_clock::now();
        line.Write(PadPacket(stroke[i].x, stroke[i].y, stroke[i].touch));
        ASSERT_EQ(host->ReadFrame(15000ms), strokeMessages[i]);
        quickest = std::min(quickest, std::chrono::steady_clock::now() - written);
    }
    EXPECT_LT(quickest, 50ms);

    // Polled every 10 ms, the line costs about 3% of a processor; a poll without its pause
    // costs more than 15%.
    EXPECT_LT(HostCpuMsOver(2000ms), 300.0) << "quiet line";
    line.CloseMaster();
    EXPECT_LT(HostCpuMsOver(2000ms), 300.0) << "hung-up line";
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1000ms);
}

TEST_F(WineSerialCapture, PadSimulatorOnAPortNamedInTheDeviceNamespace) {
    ChildProcess padsim({PADSIM_BINARY, "serial", "--time-limit", "60", "--rate", "500",
                         "--raw-coordinates", "--strokes",
                         WriteStrokesFile(scratch.path() + "/strokes.txt", kTwoStrokes)});
    const std::string path = padsim.Read(64, 5000ms);
    const size_t at = path.find("/dev/pts/");
    ASSERT_NE(at, std::string::npos) << path;
    UsePort(12, std::stoi(path.substr(at + 9)));  // opened as \\.\COM12
    host = prefix.StartHost();
    host->SendOpen();
    ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    const std::vector<std::string> expected = ExpectedMessages(kTwoStrokes);
    EXPECT_EQ(host->ReadFrames(expected.size(), 30000ms), expected);
    host->CloseExpectingGoodbyeLast();
}

TEST_F(WineSerialCapture, PortThatIsNotThereIsAnsweredWithZeros) {
    prefix.WriteSettings("[Tablet]\r\nTabletType=0\r\nTabletComPort=9\r\n");
    host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(15000ms), kZeroOpenReply);
    host->CloseExpectingGoodbyeLast();
}

}  // namespace
