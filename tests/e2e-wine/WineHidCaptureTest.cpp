#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stop_token>
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
using Bytes = std::vector<uint8_t>;

constexpr size_t kPadReport = 64;  // the built-in pad's report data: 65 bytes with the id
// What the numbers query becomes: a WriteFile of one output report, id 0, count 1, 0x00.
const std::string kNumbersQuery = " 1 0 0100" + std::string(124, '0');

Bytes Stream(const std::vector<PadPoint>& points) {
    Bytes stream;
    for (const PadPoint& point : points) {
        const Bytes packet = PadPacket(point.x, point.y, point.touch);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

bool HasMessage(const std::vector<std::string>& messages, const std::string& text) {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

// A fresh prefix of its own for each test, its server ended afterwards: a pad pulled out or
// gone with an earlier winepad can leave the class driver's device half removed, and a search
// that meets it then stalls.
class OwnPrefix {
public:
    OwnPrefix() {
        ChildProcess script({"/bin/sh", "-c", WINE_PREFIX_SCRIPT});
        path = script.Read(256, 120000ms);
        path.erase(path.find_last_not_of("\n") + 1);
    }
    ~OwnPrefix() {
        ChildProcess({"/bin/sh", "-c", "wineserver -k; rm -rf \"$WINEPREFIX\""},
                     {{"WINEPREFIX", path}})
            .WaitForExit(30000ms);
    }
    std::string path;
};

// The Windows host under Wine with USB HID pads that winepad presents through Wine's own HID
// class driver: SetupAPI, the HID library and overlapped reads all run for real.
class WineHidCapture : public ::testing::Test {
protected:
    OwnPrefix own;
    void Open(const std::string& settings, const std::string& command = kOpen) {
        prefix.WriteSettings("[Tablet]\r\nTabletType=6\r\nEnableLogging=1\r\n" + settings);
        host = prefix.StartHost();
        host->Send(command);
    }
    std::vector<std::string> Log() { return prefix.LogMessages(); }

    WinePrefix prefix{own.path};
    WinePad pads{prefix.path()};
    std::unique_ptr<HostSession> host;
};

// The search passes over another vendor and a product below the first pad's; UseMultiUsb picks
// the n-th matching pad, and only that pad gets the numbers query, once, as it answers at once.
TEST_F(WineHidCapture, SearchTakesTheNthMatchingPadAndQueriesItsNumbers) {
    ASSERT_NE(pads.Plug(0x046D, 0x0043), 0u);
    ASSERT_NE(pads.Plug(0x1D5B, 0x0042), 0u);
    const std::string first = std::to_string(pads.Plug(0x1D5B, 0x0043));
    const std::string second = std::to_string(pads.Plug(0x1D5B, 0x00A0));
    struct Case {
        std::string settings;
        std::string taken;
    };
    for (const Case& c : {Case{"UseMultiUsb=1\r\nTabletComPort=2\r\n", second},
                          Case{"TabletComPort=2\r\n", first}}) {
        ASSERT_TRUE(pads.Command("numbers " + c.taken + " 123456 5 64", "numbers"));
        const size_t before = pads.Sent().size();
        Open(c.settings);
        EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply) << c.settings;
        host->CloseExpectingGoodbyeLast();
        EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
        const std::vector<std::string> sent(pads.Sent().begin() + before, pads.Sent().end());
        EXPECT_EQ(sent, std::vector<std::string>(1, "sent " + c.taken + kNumbersQuery))
            << c.settings;
    }
}

TEST_F(WineHidCapture, StrokeArrivesExactlyThroughOverlappedReadsAndTheReaderLogsWhatItRead) {
    const uint32_t pad = pads.Plug(0x1D5B, 0x0043);
    ASSERT_TRUE(pads.Command("numbers " + std::to_string(pad) + " 123456 5 64", "numbers"));
    Open("");
    ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    ASSERT_FALSE(pads.Sent().empty());
    EXPECT_EQ(pads.Sent().front(), "sent " + std::to_string(pad) + kNumbersQuery);

    const std::vector<PadPoint> points = LongStroke(120);
    ASSERT_TRUE(pads.Feed(pad, Stream(points), kPadReport, 0xC0));
    const std::vector<std::string> expected = ExpectedMessages(points);
    EXPECT_EQ(host->ReadFrames(expected.size(), 15000ms), expected);

    // Idle with the pad open: the reader waits on its read without a time limit.
    const double before = ChildCpuMs(host->process().pid());
    std::this_thread::sleep_for(2000ms);
    const double idleMs = ChildCpuMs(host->process().pid()) - before;
    std::printf("idle CPU under Wine, 2 s with the HID pad open: %.0f ms\n", idleMs);
    EXPECT_LT(idleMs, 100.0);

    // Capture latency: a report fed to the pad until its POINT message is readable.
    const auto fed = std::chrono::steady_clock::now();
    ASSERT_TRUE(pads.Feed(pad, PadPacket(1000, 1000, true), kPadReport));
    EXPECT_EQ(host->ReadFrame(5000ms), ExpectedMessages({{1000, 1000, true}}).front());
    std::printf(
        "one report to its POINT message through the HID stack: %.1f ms\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fed).count());
    host->CloseExpectingGoodbyeLast();
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);

    const std::vector<std::string> log = Log();
    for (const char* line :
         {"FindTheHID  ReportSize = 65", "HidReadThread: BytesToRead = 65",
          "MaskByte report size = 64", "HidReadThread: ReadFile returns 0",
          "HidReadThread: wait returns 0, bytesread = 0",
          "Count = 63, InputBuffer[0,1,2] = 0x0, 0xff, 0x81 ", "HidReadThread: Got kill"}) {
        EXPECT_TRUE(HasMessage(log, line)) << line;
    }
}

// The host held up (its process stopped) while the pad sends 400 one-point reports, two seconds
// of pen data: the class driver keeps them for the reader, as the host asked it to keep 512, and
// every point arrives in order once the host goes on. Then 1,000 reports at the pad's pace, with
// a load beside the host: none is lost either.
TEST_F(WineHidCapture, NoPointIsLostWhileTheHostIsHeldUpOrTheMachineBusy) {
    const uint32_t pad = pads.Plug(0x1D5B, 0x0043);
    ASSERT_TRUE(pads.Command("numbers " + std::to_string(pad) + " 123456 5 64", "numbers"));
    Open("");
    ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    const std::vector<PadPoint> points = LongStroke(1400);
    const std::vector<std::string> expected = ExpectedMessages(points);
    struct Case {
        size_t reports;
        bool hostStopped;
    };
    size_t sent = 0;
    for (const Case& c : {Case{400, true}, Case{points.size() - 400, false}}) {
        SCOPED_TRACE(c.hostStopped ? "host stopped" : "machine busy");
        {
            // Two threads that keep the machine's cores busy beside the host while they live.
            const auto spin = [](std::stop_token stop) {
                while (!stop.stop_requested()) {
                }
            };
            std::vector<std::jthread> load;
            if (c.hostStopped) {
                ASSERT_EQ(kill(host->process().pid(), SIGSTOP), 0);
            } else {
                load.emplace_back(spin);
                load.emplace_back(spin);
            }
            // With the load, at the pad's pace: 200 reports a second.
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = sent; i < sent + c.reports; ++i) {
                if (!c.hostStopped) {
                    std::this_thread::sleep_until(start + (i - sent) * 5ms);
                }
                const PadPoint& p = points[i];
                ASSERT_TRUE(pads.Feed(pad, PadPacket(p.x, p.y, p.touch), kPadReport));
            }
            if (c.hostStopped) {
                ASSERT_EQ(kill(host->process().pid(), SIGCONT), 0);
            }
        }
        const std::vector<std::string> part(
            expected.begin() + static_cast<ptrdiff_t>(sent),
            expected.begin() + static_cast<ptrdiff_t>(sent + c.reports));
        EXPECT_EQ(host->ReadFrames(part.size(), 30000ms), part);
        sent += c.reports;
    }
    host->CloseExpectingGoodbyeLast();
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    EXPECT_TRUE(prefix.LogHas("HID input buffers: asked for 512, the driver keeps 512"));
}

// A vendor-defined pad's report descriptor: input reports of `inputBytes`, output reports of
// `outputBytes` (none for 0), no report ids.
Bytes PadDescriptor(uint8_t inputBytes, uint8_t outputBytes) {
    Bytes descriptor = {0x06, 0x00, 0xFF, 0x09,        0x01, 0xA1, 0x01,       0x15, 0x00,
                        0x26, 0xFF, 0x00, 0x75,        0x08, 0x95, inputBytes, 0x09, 0x01,
                        0x81, 0x02, 0x95, outputBytes, 0x09, 0x01, 0x91,       0x02, 0xC0};
    if (outputBytes == 0) {
        descriptor.erase(descriptor.end() - 7, descriptor.end() - 1);
    }
    return descriptor;
}

// Windows' class driver takes only writes of a whole output report: the numbers query goes out
// in a report of the output report's length, whatever the input reports' (a pad whose output
// reports cannot carry it gets none), and no point is lost whether or not the pad answers.
TEST_F(WineHidCapture, NumbersQueryFitsTheOutputReportsAndNoPointIsLostWithoutAnAnswer) {
    struct Case {
        uint8_t outputBytes;
        std::string sent;  // the one query the answering pad gets; none when empty
    };
    const Case cases[] = {
        {8, "0100" + std::string(12, '0')}, {128, "0100" + std::string(252, '0')}, {1, ""}};
    std::vector<uint32_t> plugged;
    for (const Case& c : cases) {
        const std::string file = own.path + "/pad" + std::to_string(c.outputBytes) + ".bin";
        const Bytes descriptor = PadDescriptor(64, c.outputBytes);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()),
                   static_cast<std::streamsize>(descriptor.size()));
        plugged.push_back(pads.Plug(0x1D5B, static_cast<uint16_t>(0x0043 + plugged.size()), file));
        ASSERT_NE(plugged.back(), 0u);
        ASSERT_TRUE(
            pads.Command("numbers " + std::to_string(plugged.back()) + " 123456 5 64", "numbers"));
    }
    const std::vector<PadPoint> stroke = LongStroke(5);
    for (size_t i = 0; i < plugged.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("output reports of " + std::to_string(c.outputBytes) + " bytes");
        const size_t before = pads.Sent().size();
        Open("UseMultiUsb=1\r\nTabletComPort=" + std::to_string(i + 1) + "\r\n");
        EXPECT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
        ASSERT_TRUE(pads.Feed(plugged[i], Stream(stroke), kPadReport));
        EXPECT_EQ(host->ReadFrames(stroke.size(), 10000ms), ExpectedMessages(stroke));
        host->CloseExpectingGoodbyeLast();
        EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
        const std::vector<std::string> sent(pads.Sent().begin() + before, pads.Sent().end());
        const std::string query = "sent " + std::to_string(plugged[i]) + " 1 0 " + c.sent;
        EXPECT_EQ(sent, std::vector<std::string>(c.sent.empty() ? 0 : 1, query));
        EXPECT_EQ(prefix.LogHas("TabletWrite: output report size 2 cannot carry data"),
                  c.sent.empty());
    }
}

// Pulled out in the middle of a stroke: the reader ends at once, the richer capture (OPEN2) is
// told once, and the host closes and ends.
TEST_F(WineHidCapture, PadPulledOutMidStroke) {
    const uint32_t pad = pads.Plug(0x1D5B, 0x0043);
    ASSERT_TRUE(pads.Command("numbers " + std::to_string(pad) + " 123456 5 64", "numbers"));
    Open("", kRichOpen);
    ASSERT_EQ(host->ReadFrame(15000ms), kRichOpenReply);
    const std::vector<PadPoint> points = LongStroke(20);
    ASSERT_TRUE(pads.Feed(pad, Stream({points.begin(), points.begin() + 10}), kPadReport));
    EXPECT_EQ(host->ReadFrames(10, 15000ms).size(), 10u);
    ASSERT_TRUE(pads.Command("unplug " + std::to_string(pad), "unplugged"));
    EXPECT_EQ(host->ReadFrame(5000ms), kGone);
    EXPECT_EQ(host->process().Read(1, 1000ms), "") << "more than one GONE";
    const double before = ChildCpuMs(host->process().pid());
    std::this_thread::sleep_for(2000ms);
    EXPECT_LT(ChildCpuMs(host->process().pid()) - before, 100.0);
    EXPECT_LT(host->CloseExpectingGoodbyeLast(), 1000ms);
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    const std::vector<std::string> log = Log();
    const auto gone =
        std::find(log.begin(), log.end(), "HidReadThread: device gone, no more reads");
    ASSERT_NE(gone, log.end());
    EXPECT_EQ(*std::next(gone), "HID Read thread Exiting");
}

}  // namespace

namespace {

// A figure, not a test (tests/bench/performance.sh runs it where Wine is): OPEN to its reply with
// a HID pad that answers at once, 20 OPENs in one host (each OPEN during a capture starts
// afresh), p50 and worst on standard output.
TEST_F(WineHidCapture, DISABLED_OpenToReplyFigure) {
    const uint32_t pad = pads.Plug(0x1D5B, 0x0043);
    ASSERT_TRUE(pads.Command("numbers " + std::to_string(pad) + " 123456 5 64", "numbers"));
    Open("");
    ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
    std::vector<double> times;
    for (int run = 0; run < 20; ++run) {
        const auto sent = std::chrono::steady_clock::now();
        host->SendOpen();
        ASSERT_EQ(host->ReadFrame(15000ms), kDefaultOpenReply);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent)
                .count());
    }
    host->CloseExpectingGoodbyeLast();
    std::sort(times.begin(), times.end());
    std::printf("open-time hid: p50 %.1f ms, worst %.1f ms\n", times[times.size() / 2 - 1],
                times.back());
}

}  // namespace
