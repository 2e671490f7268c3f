#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "ArrivalTimes.h"
#include "HostMessages.h"
#include "HostSession.h"
#include "LoopbackPeer.h"
#include "PadStrokes.h"
#include "Padsim.h"

namespace {

using namespace testsupport;
using loopback::Bytes;

const std::string kIdentity = "pad-bridge-1";
const std::string kPumpLate = "The point pump did not end within 500 ms";
// The listener's numbers request frame, and a pad's answer: serial 123456, model 5.
const Bytes kNumbersRequest = {1, 0, 0, 0, 1, 0, 0, 0, 0};
const Bytes kNumbersAnswer = PadPacket(123456 >> 12 | 5 << 6, 123456 & 0xFFF, false, 2);
const std::string kRichOpenReplyWithoutNumbers =
    "{\"command\":\"OPEN\",\"status\":1,\"device\":1,\"maxx\":2150,\"maxy\":1400,"
    "\"serial\":0,\"model\":0,\"protocol\":2}";

// A capture over the TCP transports: the host under a temporary root, and the pad on the far
// side of a loopback port.
class TcpCapture : public ::testing::Test {
protected:
    // The TCP listener listens on SocketPort + 1.
    void WriteListenerSettings(const std::string& extra = "", int timeoutMs = 4000) {
        root.WriteSettings(
            "[Tablet]\nTabletType=7\nEnableLogging=1\nSocketPort=" + std::to_string(port - 1) +
            "\nSocketTimeout=" + std::to_string(timeoutMs) + "\nTabletPortPath=" + kIdentity +
            "\n" + extra);
    }
    void WriteClientSettings() {
        root.WriteSettings("[Tablet]\nTabletType=5\nEnableLogging=1\nSocketPort=" +
                           std::to_string(port) + "\nTabletIpAddress=127.0.0.1\n");
    }
    std::string WriteStrokes(const std::vector<PadPoint>& points) {
        return WriteStrokesFile(root.path() + "/strokes.txt", points);
    }
    void StartPadsim(std::vector<std::string> arguments) {
        padsim = testsupport::StartPadsim(std::move(arguments));
    }
    void StartBridge(const std::vector<std::string>& extra) {
        padsim = StartPadsimBridge(port, kIdentity, 30, extra);
    }
    loopback::Connection ConnectBridge() {
        loopback::Connection bridge =
            loopback::ConnectBridgeAfterPresenceCheck(port, kIdentity, 5000ms);
        EXPECT_TRUE(bridge.valid());
        return bridge;
    }
    // The pad server as the host's TCP client takes it: the presence check's connection, which
    // the host drops, then the open's, after which the host replies to OPEN.
    loopback::Connection OpenThroughClient(loopback::Server& server) {
        port = server.port();
        WriteClientSettings();
        host = std::make_unique<HostSession>(root);
        host->SendOpen();
        loopback::Connection check = server.Accept(5000ms);
        EXPECT_TRUE(check.WaitForClose(5000ms));
        loopback::Connection pad = server.Accept(5000ms);
        EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);
        return pad;
    }
    TemporaryRoot root;
    uint16_t port = loopback::FreePort();
    std::unique_ptr<ChildProcess> padsim;
    std::unique_ptr<HostSession> host;
};

TEST_F(TcpCapture, ListenerTurnsStrokesIntoExactPointMessages) {
    for (int rotation : {0, 90}) {
        SCOPED_TRACE(rotation);
        WriteListenerSettings("TabletRotation=" + std::to_string(rotation) + "\n");
        StartBridge({"--strokes", WriteStrokes(kTwoStrokes), "--raw-coordinates", "--rate", "500"});
        host = std::make_unique<HostSession>(root);
        host->SendOpen();
        EXPECT_EQ(host->ReadFrame(10000ms), kDefaultOpenReply);
        const std::vector<std::string> expected = ExpectedMessages(kTwoStrokes, rotation);
        EXPECT_EQ(host->ReadFrames(expected.size()), expected);
        EXPECT_EQ(host->process().Read(1, 300ms), "") << "more messages than points";
        host->CloseExpectingGoodbyeLast();
        // The pump that the browser kept reading ended at once: CLOSE did not wait for it.
        EXPECT_EQ(host->process().ErrorOutput().find(kPumpLate), std::string::npos);
        padsim.reset();
    }
}

// The plain OPEN gives today's bytes; OPEN2 adds the pad's numbers to the reply and to every
// POINT its arrival time, which follows the pad's pace (200 points a second).
TEST_F(TcpCapture, OpenGivesTheFixedTextsAndOpen2AddsNumbersAndArrivalTimes) {
    const std::vector<PadPoint> stroke = LongStroke(400);
    const std::vector<std::string> expected = ExpectedMessages(stroke);
    for (const bool rich : {false, true}) {
        SCOPED_TRACE(rich ? "OPEN2" : "OPEN");
        WriteListenerSettings();
        StartBridge({"--strokes", WriteStrokes(stroke), "--raw-coordinates", "--rate", "200"});
        host = std::make_unique<HostSession>(root);
        host->Send(rich ? kRichOpen : kOpen);
        EXPECT_EQ(host->ReadFrame(10000ms), rich ? kRichOpenReply : kDefaultOpenReply);
        const TimedMessages received = SplitArrivalTimes(host->ReadFrames(expected.size()));
        EXPECT_EQ(received.plain, expected);
        if (rich) {
            ASSERT_EQ(received.times.size(), expected.size());
            ExpectPadPace(received.times, 5);
        } else {
            EXPECT_TRUE(received.times.empty());
        }
        host->CloseExpectingGoodbyeLast();
        padsim.reset();
    }
}

// The numbers query asks with request frames until the bridge answers: four for a bridge that
// never does, one for a bridge that answers the first. An answer that comes after its request's
// wait, with the next request, still ends the query and gives the numbers: the pad's answers to
// its requests are all alike.
TEST_F(TcpCapture, ListenerAsksForTheNumbersUntilTheBridgeAnswers) {
    struct Case {
        const char* name;
        size_t answeredAfter;  // requests received before the answer goes; 0: never answered
        size_t requests;
        std::string reply;
    };
    const Case cases[] = {
        {"silent bridge", 0, 4, kRichOpenReplyWithoutNumbers},
        {"answering bridge", 1, 1, kRichOpenReply},
        {"bridge answering the first request late", 2, 2, kRichOpenReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteListenerSettings();
        host = std::make_unique<HostSession>(root);
        host->Send(kRichOpen);
        loopback::Connection bridge = ConnectBridge();
        Bytes received =
            bridge.Receive(std::max<size_t>(c.answeredAfter, 1) * kNumbersRequest.size(), 2000ms);
        if (c.answeredAfter > 0) {
            ASSERT_TRUE(bridge.SendAll(kNumbersAnswer));
        }
        EXPECT_EQ(host->ReadFrame(5000ms), c.reply);
        const Bytes more = bridge.Receive(4 * kNumbersRequest.size(), 200ms);
        received.insert(received.end(), more.begin(), more.end());
        Bytes expected;
        for (size_t i = 0; i < c.requests; ++i) {
            expected.insert(expected.end(), kNumbersRequest.begin(), kNumbersRequest.end());
        }
        EXPECT_EQ(received, expected);
        host->CloseExpectingGoodbyeLast();
    }
}

// OPEN2's times count from the OPEN reply: points that arrived before it, while the host waited
// for the numbers, have T 0, and the first points after it no more than the time since the
// bridge's answer let the reply go. The answer comes with the second request, so that the host
// has waited its first request's 200 ms before the reply, which a time counted from OPEN would
// show.
TEST_F(TcpCapture, Open2TimesCountFromTheOpenReply) {
    using Clock = std::chrono::steady_clock;
    WriteListenerSettings();
    host = std::make_unique<HostSession>(root);
    host->Send(kRichOpen);
    loopback::Connection bridge = ConnectBridge();
    const Bytes point = PadPacket(1000, 800, true);
    Bytes threePoints;
    for (int i = 0; i < 3; ++i) {
        threePoints.insert(threePoints.end(), point.begin(), point.end());
    }
    ASSERT_EQ(bridge.Receive(kNumbersRequest.size(), 2000ms), kNumbersRequest);
    ASSERT_TRUE(bridge.SendAll(threePoints));
    ASSERT_EQ(bridge.Receive(kNumbersRequest.size(), 2000ms), kNumbersRequest);
    const Clock::time_point answered = Clock::now();
    ASSERT_TRUE(bridge.SendAll(kNumbersAnswer));
    ASSERT_EQ(host->ReadFrame(5000ms), kRichOpenReply);
    ASSERT_TRUE(bridge.SendAll(threePoints));
    const TimedMessages received = SplitArrivalTimes(host->ReadFrames(6));
    const auto sinceAnswer =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - answered).count();
    ASSERT_EQ(received.times.size(), 6u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(received.times[i], 0) << "a point queued before the reply";
        // The host's clock counts whole milliseconds: one more than the test's.
        EXPECT_LE(received.times[i + 3], sinceAnswer + 1) << "a point after the reply";
    }
    host->CloseExpectingGoodbyeLast();
}

// A connection to 127.0.0.1:port from the local address `from`, retried while nobody listens.
loopback::Connection ConnectFrom(const char* from, uint16_t port, loopback::Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(port);
        remote.sin_addr.s_addr = loopback::LoopbackAddress();
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
            connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
            platform::SetSocketNonBlocking(fd, true);
            return loopback::Connection(fd);
        }
        close(fd);
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return loopback::Connection();
}

// A bridge from an address BridgeAddresses does not list is closed before its hello is read,
// right as that hello is; the bridge from a listed address is taken as ever.
TEST_F(TcpCapture, ListenerTakesABridgeOnlyFromAnAddressItsSettingLists) {
    WriteListenerSettings("BridgeAddresses=10.9.8.7, 127.0.0.1\n");
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    const Bytes hello = loopback::BridgeHello(2, kIdentity);
    loopback::Connection stranger = ConnectFrom("127.0.0.2", port, 5000ms);
    ASSERT_TRUE(stranger.valid());
    ASSERT_TRUE(stranger.SendAll(hello));
    EXPECT_TRUE(stranger.WaitForClose(5000ms));
    loopback::Connection check = ConnectFrom("127.0.0.1", port, 5000ms);
    ASSERT_TRUE(check.SendAll(hello));
    EXPECT_TRUE(check.WaitForClose(5000ms));
    loopback::Connection bridge = ConnectFrom("127.0.0.1", port, 5000ms);
    ASSERT_TRUE(bridge.SendAll(hello));
    EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);
    host->CloseExpectingGoodbyeLast();
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    EXPECT_NE(log.find("NewSocket refused a bridge from 127.0.0.2: not in BridgeAddresses"),
              std::string::npos)
        << log;
}

TEST_F(TcpCapture, BridgeWithTheWrongIdentityIsRefused) {
    WriteListenerSettings("", 1000);
    StartPadsim({"bridge", "--port", std::to_string(port), "--identity", "PAD-BRIDGE-1",
                 "--time-limit", "10"});
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(5000ms), kZeroOpenReply);
    host->CloseExpectingGoodbyeLast();
}

TEST_F(TcpCapture, BridgeGoneAfterThePresenceCheckEndsTheHostWithoutReply) {
    WriteListenerSettings("", 700);
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    const Bytes hello = loopback::BridgeHello(2, kIdentity);
    loopback::Connection check = loopback::ConnectWhenListening(port, 5000ms);
    ASSERT_TRUE(check.SendAll(hello));
    EXPECT_TRUE(check.WaitForClose(5000ms));
    std::string output;
    EXPECT_TRUE(host->process().OutputEnds(8000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(host->process().WaitForExit(3000ms), 0);
    EXPECT_NE(host->process().ErrorOutput().find("Failed to open a connection with the Lumarq "
                                                 "device."),
              std::string::npos);
}

// An open that fails is tried once more, half a second later. The bridge answers the presence
// check and stays away from the first open, where only peers with another identity come (so that
// the first open is seen listening, refusing them and giving up); it is back for the second.
TEST_F(TcpCapture, OpenThatFailsIsTriedOnceMoreHalfASecondLater) {
    WriteListenerSettings("", 600);
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    const Bytes hello = loopback::BridgeHello(2, kIdentity);
    loopback::Connection check = loopback::ConnectWhenListening(port, 5000ms);
    ASSERT_TRUE(check.SendAll(hello));
    ASSERT_TRUE(check.WaitForClose(5000ms));

    loopback::Connection stranger = loopback::ConnectWhenListening(port, 5000ms);
    ASSERT_TRUE(stranger.valid());
    while (stranger.valid()) {
        stranger.SendAll(loopback::BridgeHello(2, "another-pad"));
        ASSERT_TRUE(stranger.WaitForClose(5000ms));
        stranger = loopback::Connect(port);
    }
    const auto firstGaveUp = std::chrono::steady_clock::now();
    loopback::Connection bridge = loopback::ConnectWhenListening(port, 5000ms);
    const auto secondListened = std::chrono::steady_clock::now();
    ASSERT_TRUE(bridge.valid()) << "no second open";
    ASSERT_TRUE(bridge.SendAll(hello));
    EXPECT_EQ(host->ReadFrame(5000ms), kDefaultOpenReply);
    EXPECT_GE(secondListened - firstGaveUp, 300ms);
    EXPECT_LE(secondListened - firstGaveUp, 3000ms);
    host->CloseExpectingGoodbyeLast();
}

// A rejected message or the end of the input during a capture ends the host with exit code 0
// at once, without a goodbye and whatever threads still run.
TEST_F(TcpCapture, InputThatEndsDuringACaptureEndsTheHostWithExitZero) {
    for (const bool endOfInput : {true, false}) {
        SCOPED_TRACE(endOfInput ? "end of input" : "empty message");
        WriteListenerSettings();
        StartBridge({"--loop", "--rate", "1000"});
        host = std::make_unique<HostSession>(root);
        host->SendOpen();
        EXPECT_EQ(host->ReadFrame(10000ms), kDefaultOpenReply);
        EXPECT_EQ(host->ReadFrames(20).size(), 20u);
        if (endOfInput) {
            host->process().CloseInput();
        } else {
            host->process().Write(std::string(4, '\0'));
        }
        EXPECT_EQ(host->process().WaitForExit(3000ms), 0) << "134: the host aborted";
        std::string rest;
        EXPECT_TRUE(host->process().OutputEnds(1000ms, &rest));
        EXPECT_EQ(rest.find(kGoodbye), std::string::npos);
        padsim.reset();
    }
}

TEST_F(TcpCapture, SecondOpenDuringACaptureStartsAfreshAndCloseEndsTheStream) {
    WriteListenerSettings();
    StartBridge({"--loop", "--rate", "1000"});
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(10000ms), kDefaultOpenReply);
    EXPECT_EQ(host->ReadFrames(50).size(), 50u);
    host->SendOpen();
    // Points may still be on their way; the next OPEN reply must come, then points again.
    bool replied = false;
    for (int i = 0; i < 5000 && !replied; ++i) {
        const std::optional<std::string> frame = host->ReadFrame(10000ms);
        ASSERT_TRUE(frame);
        replied = *frame == kDefaultOpenReply;
        if (!replied) {
            ASSERT_EQ(frame->rfind("{\"command\":\"POINT\"", 0), 0u) << *frame;
        }
    }
    EXPECT_TRUE(replied);
    EXPECT_EQ(host->ReadFrames(50).size(), 50u);
    host->CloseExpectingGoodbyeLast();
}

TEST_F(TcpCapture, TwentyThousandPointsAtTenThousandPerSecondArriveExactly) {
    const std::vector<PadPoint> points = LongStroke(20000);
    WriteListenerSettings();
    StartBridge({"--strokes", WriteStrokes(points), "--raw-coordinates", "--rate", "10000"});
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(10000ms), kDefaultOpenReply);
    const std::vector<std::string> expected = ExpectedMessages(points, 0);
    const std::vector<std::string> received = host->ReadFrames(expected.size(), 20000ms);
    ASSERT_EQ(received.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(received[i], expected[i]) << "message " << i;
    }
    host->CloseExpectingGoodbyeLast();
}

// The TCP client: the host connects to a pad server that sends finished point records.
Bytes Record(uint32_t type, uint8_t status, int x, int y) {
    const uint32_t penData = status | static_cast<uint32_t>(x >> 4) << 8 |
                             static_cast<uint32_t>((x & 0x0F) << 4 | y >> 8) << 16 |
                             static_cast<uint32_t>(y & 0xFF) << 24;
    return loopback::PointRecordBytes(type, penData);
}

TEST_F(TcpCapture, ClientQueuesServerRecordsEvenWhenSplitAcrossReceives) {
    loopback::Server server;
    loopback::Connection pad = OpenThroughClient(server);
    ASSERT_TRUE(pad.valid());

    Bytes stream = Record(0, 0x08, 100, 200);
    const Bytes skipped = Record(3, 0x08, 1, 1);
    const Bytes second = Record(0, 0x08, 4095, 0);
    const Bytes lift = Record(0, 0x00, 7, 9);
    stream.insert(stream.end(), skipped.begin(), skipped.end());
    stream.insert(stream.end(), second.begin(), second.begin() + 5);
    ASSERT_TRUE(pad.SendAll(stream));
    std::this_thread::sleep_for(100ms);  // the host receives the cut record on its own
    Bytes rest(second.begin() + 5, second.end());
    rest.insert(rest.end(), lift.begin(), lift.end());
    ASSERT_TRUE(pad.SendAll(rest));
    const std::vector<std::string> expected = {PointMessage(100, 200, 1), PointMessage(4095, 0, 1),
                                               PointMessage(7, 9, 0)};
    EXPECT_EQ(host->ReadFrames(3), expected);
    host->CloseExpectingGoodbyeLast();
}

// Sends numbered pen records, as many as the system takes, until the host has stopped taking
// them: the browser that reads no more holds the host, and the records wait in the server's own
// queue. Returns how many whole records the system took.
int SendRecordsUntilHeld(loopback::Connection& pad) {
    constexpr int kBatch = 100;
    int taken = 0;
    size_t pendingBytes = 0;  // of a record the system took in part
    Bytes batch;
    for (;;) {
        if (batch.empty()) {
            for (int i = 0; i < kBatch; ++i) {
                const int n = taken + static_cast<int>(pendingBytes / 12) + i;
                const Bytes record = Record(0, 0x08, n % 4096, n / 4096);
                batch.insert(batch.end(), record.begin(), record.end());
            }
        }
        const int sent =
            platform::SendBytes(pad.socket(), batch.data(), static_cast<int32_t>(batch.size()));
        if (sent > 0) {
            batch.erase(batch.begin(), batch.begin() + sent);
            pendingBytes += static_cast<size_t>(sent);
            taken += static_cast<int>(pendingBytes / 12);
            pendingBytes %= 12;
            continue;
        }
        pollfd writable{static_cast<int>(pad.socket()), POLLOUT, 0};
        if (poll(&writable, 1, 500) == 0) {
            return taken;  // half a second without room: held
        }
    }
}

// A pad server that never reads and closes while points still wait in its queue: the host has
// sent it nothing, so the close is a clean end behind the last point, not a reset that throws
// the queue away. Every point reaches the browser once it reads again.
TEST_F(TcpCapture, ClientSendsNothingSoAServerClosingUnreadLosesNoPoint) {
    loopback::Server server;
    loopback::Connection pad = OpenThroughClient(server);
    ASSERT_TRUE(pad.valid());
    const int sent = SendRecordsUntilHeld(pad);
    EXPECT_EQ(pad.Receive(1, 200ms).size(), 0u) << "the host wrote to the pad server";
    pad.Close();
    const std::vector<std::string> received = host->ReadFrames(static_cast<size_t>(sent), 60000ms);
    ASSERT_EQ(received.size(), static_cast<size_t>(sent));
    for (int i = 0; i < sent; ++i) {
        ASSERT_EQ(received[i], PointMessage(i % 4096, i / 4096, 1)) << "point " << i;
    }
    host->CloseExpectingGoodbyeLast();
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    EXPECT_NE(log.find("connection ended by the peer"), std::string::npos);
    EXPECT_EQ(log.find("connection reset"), std::string::npos);
}

// A server that resets the connection: the host cannot know what it lost, and the log says so.
TEST_F(TcpCapture, ClientLogsAResetApartFromACleanEnd) {
    loopback::Server server;
    loopback::Connection pad = OpenThroughClient(server);
    ASSERT_TRUE(pad.valid());
    ASSERT_TRUE(pad.SendAll(Record(0, 0x08, 100, 200)));
    EXPECT_EQ(host->ReadFrame(5000ms), PointMessage(100, 200, 1));
    const linger reset{1, 0};
    setsockopt(static_cast<int>(pad.socket()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    pad.Close();
    const std::string logPath = root.TempPath("tessel.log");
    for (int i = 0; i < 500 && root.ReadFile(logPath).find("connection reset") == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(10ms);
    }
    host->CloseExpectingGoodbyeLast();
    const std::string log = root.ReadFile(logPath);
    EXPECT_NE(log.find("connection reset: points may be lost"), std::string::npos) << log;
    EXPECT_EQ(log.find("connection ended by the peer"), std::string::npos);
}

// In the child: a network namespace of its own whose ephemeral range is the one port 40000.
void OnlyEphemeralPortIs40000() {
    static const char kRange[] = "40000 40000";
    ifreq loopbackUp{};
    std::memcpy(loopbackUp.ifr_name, "lo", 3);
    loopbackUp.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    if (unshare(CLONE_NEWNET) != 0 ||
        ioctl(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), SIOCSIFFLAGS, &loopbackUp) != 0 ||
        write(open("/proc/sys/net/ipv4/ip_local_port_range", O_WRONLY | O_CLOEXEC), kRange,
              sizeof kRange - 1) != sizeof kRange - 1) {
        _exit(127);
    }
}

// Nobody listens on the pad's port, the one port the system gives outgoing connections: the
// host's connect is given that very port as its own and meets itself (TCP's simultaneous open).
// That is no pad: taken for one, the host would read its own requests as the pad's answers.
TEST_F(TcpCapture, ClientWhoseConnectMeetsItselfFindsNoPad) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "a network namespace of its own needs root";
    }
    port = 40000;
    WriteClientSettings();
    host = std::make_unique<HostSession>(root, OnlyEphemeralPortIs40000);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(5000ms), kZeroOpenReply);
    host->CloseExpectingGoodbyeLast();
}

TEST_F(TcpCapture, ClientCapturesFromThePadSimulatorServer) {
    WriteClientSettings();
    StartPadsim({"server", "--port", std::to_string(port), "--strokes", WriteStrokes(kTwoStrokes),
                 "--raw-coordinates", "--time-limit", "20", "--rate", "500"});
    // The host connects once: the server must be listening by then.
    ASSERT_TRUE(padsim->WaitForErrorOutput("listening on"));
    host = std::make_unique<HostSession>(root);
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(10000ms), kDefaultOpenReply);
    // The server sends finished logical points: they reach the browser unchanged.
    const std::vector<std::string> expected = UnmappedMessages(kTwoStrokes);
    EXPECT_EQ(host->ReadFrames(expected.size()), expected);
    host->CloseExpectingGoodbyeLast();
}

}  // namespace
