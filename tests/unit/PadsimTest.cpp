#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "padsim/BurstPattern.h"
#include "padsim/HostFrameReader.h"
#include "padsim/Options.h"
#include "padsim/PadGeometry.h"
#include "padsim/PointSources.h"
#include "padsim/SampleSignature.h"
#include "padsim/Session.h"
#include "padsim/StrokesFile.h"

namespace {

using namespace std::chrono_literals;
using padsim::Clock;
using padsim::PadPoint;
using padsim::PadPoints;

TEST(PadsimStrokes, ReadsPointsCommentsAndBlankLines) {
    const auto result = padsim::ParseStrokes(
        "# a tick\n"
        "\n"
        "100 200 1\r\n"
        "  110\t215 1   # still down\n"
        "-5 7 0\n"
        "   \n");
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.points,
              (PadPoints{PadPoint{100, 200, true}, {110, 215, true}, {-5, 7, false}}));
}

TEST(PadsimStrokes, NamesTheLineOfAnError) {
    EXPECT_EQ(padsim::ParseStrokes("1 2 1\n\n3 4\n").error,
              "line 3: expected \"x y touch\", found 2 field(s)");
    EXPECT_EQ(padsim::ParseStrokes("1 2 2\n").error, "line 1: touch must be 0 or 1");
    EXPECT_EQ(padsim::ParseStrokes("1 2.5 1\n").error, "line 1: x and y must be integers");
    EXPECT_EQ(padsim::ParseStrokes("1 2 1 4\n").error.substr(0, 7), "line 1:");
    EXPECT_EQ(padsim::ParseStrokes("99999999999 2 1\n").error, "line 1: x and y must be integers");
    EXPECT_EQ(padsim::ParseStrokes("# nothing\n\n").error, "no points");
}

TEST(PadsimGeometry, FittingKeepsProportionsAndStaysInsideTheWindow) {
    const padsim::PadWindow window;  // 500..2650 x 350..2100
    const PadPoints fitted =
        padsim::FitIntoWindow({{0, 0, true}, {200, 100, true}, {100, 50, false}}, window);
    ASSERT_EQ(fitted.size(), 3u);
    // 90% of the width (1935 units) decides the scale, the proportions stay, the centre of the
    // drawing lands on the centre of the window.
    EXPECT_NEAR(fitted[1].x - fitted[0].x, 1935, 1);
    EXPECT_NEAR(fitted[1].y - fitted[0].y, 967.5, 1);
    EXPECT_EQ(fitted[2], (PadPoint{1575, 1225, false}));
    EXPECT_TRUE(fitted[0].touch);

    const PadPoints dot = padsim::FitIntoWindow({{7, 7, true}, {7, 7, false}}, window);
    EXPECT_EQ(dot[0], (PadPoint{1575, 1225, true}));

    for (const PadPoint& p : padsim::FitIntoWindow(padsim::SampleSignatureDrawing(), window)) {
        ASSERT_GE(p.x, window.xStart);
        ASSERT_LE(p.x, window.xStop);
        ASSERT_GE(p.y, window.yStart);
        ASSERT_LE(p.y, window.yStop);
    }
}

TEST(PadsimGeometry, RawPointsOutsideTwelveBitsAreRefused) {
    padsim::Options options;
    options.rawCoordinates = true;
    EXPECT_TRUE(padsim::SourceFromDrawing({{0, 4095, true}}, options).error.empty());
    EXPECT_FALSE(padsim::SourceFromDrawing({{0, 4096, true}}, options).error.empty());
    EXPECT_FALSE(padsim::SourceFromDrawing({{-1, 0, true}}, options).error.empty());
}

TEST(PadsimSignature, StrokesEndWithALiftAndHoverBetweenThem) {
    const PadPoints drawing = padsim::SampleSignatureDrawing();
    ASSERT_GT(drawing.size(), 500u);
    EXPECT_TRUE(drawing.front().touch);
    EXPECT_FALSE(drawing.back().touch);
    int strokes = 0;
    for (size_t i = 1; i < drawing.size(); ++i) {
        if (drawing[i - 1].touch && !drawing[i].touch) {
            ++strokes;
            // After the lift the pen hovers for a few more points.
            ASSERT_LT(i + 2, drawing.size());
            EXPECT_FALSE(drawing[i + 1].touch);
        }
    }
    EXPECT_GE(strokes, 4);
}

TEST(PadsimBurst, PointsAreDistinctTouchingAndEndWithALift) {
    const padsim::PadWindow window;
    const uint64_t count = 5000;
    std::set<std::pair<int32_t, int32_t>> seen;
    for (uint64_t i = 0; i < count; ++i) {
        const PadPoint p = padsim::BurstPoint(i, count, window);
        ASSERT_TRUE(p.touch);
        ASSERT_EQ(p.x, 500 + static_cast<int32_t>(i % 2150));
        ASSERT_EQ(p.y, 350 + 5 * static_cast<int32_t>(i / 2150));
        ASSERT_TRUE(seen.insert({p.x, p.y}).second) << i;
        // With the host's defaults the logical point is (i mod 2150, 4 * (i / 2150)).
        const PadPoint logical = padsim::ToLogical(p, window, padsim::LogicalSize{});
        ASSERT_EQ(logical.x, static_cast<int32_t>(i % 2150));
        ASSERT_EQ(logical.y, 4 * static_cast<int32_t>(i / 2150));
    }
    const PadPoint lift = padsim::BurstPoint(count, count, window);
    EXPECT_FALSE(lift.touch);
    EXPECT_EQ(lift.x, padsim::BurstPoint(count - 1, count, window).x);
    // The rows wrap at the bottom of the window.
    EXPECT_EQ(padsim::BurstPoint(2150 * 350, 1u << 30, window).y, 350);
}

padsim::Bytes HostFrame(uint32_t type, padsim::Bytes payload) {
    padsim::Bytes frame;
    padsim::AppendLe32(frame, type);
    padsim::AppendLe32(frame, static_cast<uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

TEST(PadsimHostFrames, FramesCutAnywhereComeOutWhole) {
    padsim::Bytes stream = HostFrame(1, {0x00});
    const padsim::Bytes second = HostFrame(1, {0x41, 0x42, 0x43});
    const padsim::Bytes empty = HostFrame(9, {});
    stream.insert(stream.end(), second.begin(), second.end());
    stream.insert(stream.end(), empty.begin(), empty.end());
    for (size_t step = 1; step <= stream.size(); ++step) {
        padsim::HostFrameReader reader;
        std::vector<padsim::HostFrame> frames;
        for (size_t at = 0; at < stream.size(); at += step) {
            ASSERT_TRUE(
                reader.Feed(stream.data() + at, std::min(step, stream.size() - at), frames));
        }
        ASSERT_EQ(frames.size(), 3u) << "step " << step;
        EXPECT_EQ(frames[0].payload, padsim::Bytes{0x00});
        EXPECT_EQ(frames[1].payload, (padsim::Bytes{0x41, 0x42, 0x43}));
        EXPECT_EQ(frames[2].type, 9u);
        EXPECT_TRUE(frames[2].payload.empty());
        EXPECT_EQ(reader.pendingBytes(), 0u);
    }
}

TEST(PadsimHostFrames, AnOverlongLengthBreaksTheStream) {
    padsim::HostFrameReader reader;
    std::vector<padsim::HostFrame> frames;
    padsim::Bytes header;
    padsim::AppendLe32(header, 1);
    padsim::AppendLe32(header, padsim::HostFrameReader::kMaxPayload + 1);
    EXPECT_FALSE(reader.Feed(header.data(), header.size(), frames));
    EXPECT_TRUE(reader.broken());
    EXPECT_EQ(reader.badLength(), padsim::HostFrameReader::kMaxPayload + 1);
    const padsim::Bytes good = HostFrame(1, {0});
    EXPECT_FALSE(reader.Feed(good.data(), good.size(), frames));
    EXPECT_TRUE(frames.empty());
}

// A session of the bridge kind, fed by hand.
struct SessionRig {
    explicit SessionRig(padsim::SessionConfig config,
                        PadPoints points = {{1, 2, true}, {3, 4, true}, {5, 6, false}},
                        double rate = 100.0)
        : playback(padsim::PointSource{points.size(), [points](uint64_t i) { return points[i]; }},
                   rate, false),
          session(config, playback, [this](const std::string& line) { log.push_back(line); }) {}

    void Receive(const padsim::Bytes& bytes) {
        ASSERT_TRUE(session.OnReceived(bytes.data(), bytes.size()));
    }
    padsim::Bytes TakeOutput() {
        padsim::OutputBuffer& out = session.output();
        padsim::Bytes bytes(out.data(), out.data() + out.size());
        out.Consume(out.size());
        session.OnOutputDrained();
        return bytes;
    }

    padsim::Playback playback;
    std::vector<std::string> log;
    padsim::Session session;
};

padsim::SessionConfig BridgeConfig(uint64_t startAfter) {
    padsim::SessionConfig config;
    config.inbound = padsim::Inbound::kFrames;
    config.outbound = padsim::Outbound::kStreamPackets;
    config.startAfter = startAfter;
    return config;
}

TEST(PadsimSession, AnswersEachRequestAndStartsAfterTheFourth) {
    SessionRig rig(BridgeConfig(4));
    const auto t0 = Clock::now();
    rig.session.Pump(t0);
    EXPECT_TRUE(rig.TakeOutput().empty()) << "nothing before the requests";
    EXPECT_FALSE(rig.session.NextDeadline());

    const auto answer = padsim::EncodeNumbersAnswer(123456, 5);
    for (int request = 1; request <= 4; ++request) {
        rig.Receive(HostFrame(1, {0x00}));
        rig.session.Pump(t0);
        const padsim::Bytes out = rig.TakeOutput();
        padsim::Bytes expected(answer.begin(), answer.end());
        if (request == 4) {
            // The fourth request starts the points: the first is due at once.
            const auto first = padsim::EncodePenPacket({1, 2, true});
            expected.insert(expected.end(), first.begin(), first.end());
        }
        EXPECT_EQ(out, expected) << "request " << request;
    }
    EXPECT_TRUE(rig.session.streaming());
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "request 0x00 answered"), 4);
}

TEST(PadsimSession, OtherRequestBytesCountButAreNotAnswered) {
    SessionRig rig(BridgeConfig(2));
    rig.Receive(HostFrame(1, {0x41, 0x42}));
    rig.session.Pump(Clock::now());
    const padsim::Bytes out = rig.TakeOutput();
    EXPECT_EQ(out.size(), 5u) << "just the first point";
    EXPECT_EQ(rig.log[0], "request 0x41 ignored");
}

TEST(PadsimSession, PointsFollowTheirDeadlinesWithoutDrift) {
    SessionRig rig(BridgeConfig(0));  // 100 points per second: one every 10 ms
    const auto t0 = Clock::now();
    rig.session.Pump(t0);
    EXPECT_EQ(rig.TakeOutput().size(), 5u);
    EXPECT_EQ(*rig.session.NextDeadline(), t0 + 10ms);
    rig.session.Pump(t0 + 9ms);
    EXPECT_TRUE(rig.TakeOutput().empty());
    // Late by 15 ms: both overdue points go at once, the schedule stays anchored at t0.
    rig.session.Pump(t0 + 25ms);
    EXPECT_EQ(rig.TakeOutput().size(), 10u);
    EXPECT_TRUE(rig.session.allSent());
    EXPECT_FALSE(rig.session.NextDeadline());
    EXPECT_EQ(rig.log.back(), "sent 3 points");
}

TEST(PadsimSession, ADelayPostponesTheWholeSchedule) {
    padsim::SessionConfig config = BridgeConfig(0);
    config.startDelay = 50ms;
    SessionRig rig(config);
    const auto t0 = Clock::now();
    rig.session.Pump(t0);
    EXPECT_TRUE(rig.TakeOutput().empty());
    EXPECT_EQ(*rig.session.NextDeadline(), t0 + 50ms);
    rig.session.Pump(t0 + 60ms);
    EXPECT_EQ(rig.TakeOutput().size(), 10u) << "the points due at 50 and 60 ms";
}

TEST(PadsimSession, PadServerRecordsCarryLogicalPointsAndFramesAreNotAnswered) {
    padsim::SessionConfig config;
    config.inbound = padsim::Inbound::kFrames;
    config.outbound = padsim::Outbound::kPointRecords;
    config.answersRequests = false;
    config.mapToLogical = true;
    config.startAfter = 1;
    SessionRig rig(config, {{1575, 1225, true}});
    rig.Receive(HostFrame(1, {0x00}));
    rig.session.Pump(Clock::now());
    const padsim::Bytes out = rig.TakeOutput();
    const auto record = padsim::EncodePointRecord(padsim::PackPenData({1075, 700, true}));
    EXPECT_EQ(out, padsim::Bytes(record.begin(), record.end()));
    EXPECT_EQ(rig.log[0], "frame from the host: type 1, 1 byte(s): 00");
}

TEST(PadsimSession, ABrokenFrameEndsTheConnection) {
    SessionRig rig(BridgeConfig(4));
    padsim::Bytes bad;
    padsim::AppendLe32(bad, 1);
    padsim::AppendLe32(bad, 0x7FFFFFFF);
    EXPECT_FALSE(rig.session.OnReceived(bad.data(), bad.size()));
}

TEST(PadsimOptions, ModeDefaultsAndChecks) {
    const auto bridge = padsim::ParseOptions({"bridge", "--identity=pad 1", "--loop"}, nullptr);
    ASSERT_TRUE(bridge.options) << bridge.error;
    EXPECT_EQ(bridge.options->port, padsim::kDefaultBridgePort);
    EXPECT_EQ(bridge.options->identity, "pad 1");
    EXPECT_TRUE(bridge.options->loop);

    const auto server = padsim::ParseOptions({"server", "--window", "0,0,4095,4095"}, nullptr);
    ASSERT_TRUE(server.options) << server.error;
    EXPECT_EQ(server.options->port, padsim::kDefaultServerPort);
    EXPECT_EQ(server.options->window.xStop, 4095);

    const auto pipe = padsim::ParseOptions({"usbpipe"}, "/tmp/root");
    ASSERT_TRUE(pipe.options);
    EXPECT_EQ(pipe.options->node, "/tmp/root/dev/inkora-usbpipe0");

    EXPECT_DOUBLE_EQ(padsim::PointsPerSecond(*bridge.options), 200.0);
    const auto burst = padsim::ParseOptions({"server", "--burst", "10"}, nullptr);
    EXPECT_DOUBLE_EQ(padsim::PointsPerSecond(*burst.options), 0.0) << "as fast as possible";
    const auto paced = padsim::ParseOptions({"server", "--burst", "10", "--rate", "5e3"}, nullptr);
    EXPECT_DOUBLE_EQ(padsim::PointsPerSecond(*paced.options), 5000.0);

    EXPECT_TRUE(padsim::ParseOptions({"serial", "--help"}, nullptr).helpWanted);
    EXPECT_FALSE(padsim::ParseOptions({}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"modem"}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"bridge", "--serial-number", "262144"}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"bridge", "--model-number", "64"}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"bridge", "--rate", "0"}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"bridge", "--window", "10,10,5,20"}, nullptr).options);
    EXPECT_FALSE(padsim::ParseOptions({"bridge", "--port"}, nullptr).options);
    EXPECT_NE(padsim::ParseOptions({"bridge", "--bogus"}, nullptr).error.find("--bogus"),
              std::string::npos);
}

TEST(PadsimOptions, NumbersAreDecimalListsCompleteAndTheLastChoiceCounts) {
    const auto parsed = padsim::ParseOptions(
        {"--loop", "serial", "--once", "--port", "010", "--delay=0500", "--logical-size", "4095,0"},
        nullptr);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->mode, padsim::Mode::kSerial);
    EXPECT_FALSE(parsed.options->loop);
    EXPECT_EQ(parsed.options->port, 10) << "not octal";
    EXPECT_EQ(parsed.options->startDelayMs, 500);
    EXPECT_EQ(parsed.options->logicalSize.width, 4095);
    EXPECT_EQ(parsed.options->settleMs, 300) << "the default";
    EXPECT_TRUE(padsim::ParseOptions({"bridge", "--once", "--loop"}, nullptr).options->loop);

    const std::vector<std::vector<std::string>> refusedLines = {
        {"bridge", "--port", "0x10"},
        {"bridge", "--port", "-1"},
        {"bridge", "--port", "65536"},
        {"bridge", "--burst", "0"},
        {"bridge", "--rate", "nan"},
        {"bridge", "--window", "1,2,3"},
        {"bridge", "--window", "0,0,4096,10"},
        {"bridge", "--window", "0,0,10,4"},
        {"bridge", "--window", "0,0,10,10", "--window", "0,0,20,20"},
        {"bridge", "--logical-size", "10"},
        {"bridge", "serial"}};
    for (const auto& bad : refusedLines) {
        const auto refused = padsim::ParseOptions(bad, nullptr);
        EXPECT_FALSE(refused.options) << bad[1] << " " << bad.back();
        EXPECT_FALSE(refused.error.empty());
    }
}

TEST(PadsimOptions, HelpListsEveryOptionBetweenTheProse) {
    const std::string help = padsim::HelpText();
    EXPECT_EQ(help.rfind("Usage: padsim [OPTIONS] MODE\n", 0), 0u);
    const char* const options[] = {"--host ADDR",
                                   "--port N",
                                   "--identity TEXT",
                                   "--tty PATH",
                                   "--node PATH",
                                   "--serial-number N",
                                   "--model-number N",
                                   "--start-after N",
                                   "--delay MS",
                                   "--settle MS",
                                   "--strokes FILE",
                                   "--raw-coordinates",
                                   "--rate N",
                                   "--once",
                                   "--loop",
                                   "--burst N",
                                   "--window X0,Y0,X1,Y1",
                                   "--logical-size W,H",
                                   "--time-limit S",
                                   "--help"};
    for (const char* option : options) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_LT(help.find("usbpipe   Creates a FIFO"), help.find("--host ADDR"));
    EXPECT_LT(help.find("--time-limit"), help.find("Strokes file:"));
}

}  // namespace
