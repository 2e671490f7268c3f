#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "nmclient/BrowserFrames.h"
#include "nmclient/HostMessages.h"
#include "nmclient/Options.h"
#include "nmclient/SessionVerdict.h"
#include "nmclient/SvgWriter.h"

namespace {

using namespace nmclient;

const std::string kOpenReply =
    "{\"command\":\"OPEN\",\"status\":1,\"device\":1,\"maxx\":2150,\"maxy\":1400}";
const std::string kGoodbye = "{\"text\":\"EXITING...\"}";

std::string Point(int x, int y, int p) {
    return "{\"command\":\"POINT\",\"X\":" + std::to_string(x) + ",\"Y\":" + std::to_string(y) +
           ",\"P\":" + std::to_string(p) + "}";
}

TEST(NmclientFrames, FramesSplitAtEveryByteComeOutWhole) {
    const std::string stream = EncodeFrame(kOpenReply) + EncodeFrame(Point(1, 2, 1)) +
                               EncodeFrame("") + EncodeFrame(kGoodbye);
    ASSERT_EQ(stream.substr(0, 4), std::string("\x40\0\0\0", 4));
    for (size_t step = 1; step <= stream.size(); step += 3) {
        FrameReader reader;
        std::vector<std::string> frames;
        for (size_t at = 0; at < stream.size(); at += step) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data() + at);
            ASSERT_TRUE(reader.Feed(bytes, std::min(step, stream.size() - at), frames));
        }
        EXPECT_EQ(frames, (std::vector<std::string>{kOpenReply, Point(1, 2, 1), "", kGoodbye}));
        EXPECT_TRUE(reader.Finish());
    }
}

TEST(NmclientFrames, OverlongAndTruncatedFramesAreErrors) {
    FrameReader overlong;
    std::vector<std::string> frames;
    const uint8_t tooLong[] = {0x01, 0x00, 0x10, 0x00};  // 1 MiB + 1
    EXPECT_FALSE(overlong.Feed(tooLong, sizeof tooLong, frames));
    EXPECT_EQ(overlong.badLength(), FrameReader::kMaxFrameLength + 1);

    FrameReader exact;
    const uint8_t limit[] = {0x00, 0x00, 0x10, 0x00};  // exactly 1 MiB is allowed
    EXPECT_TRUE(exact.Feed(limit, sizeof limit, frames));

    FrameReader cut;
    const std::string partial = EncodeFrame(kGoodbye).substr(0, 10);
    EXPECT_TRUE(cut.Feed(reinterpret_cast<const uint8_t*>(partial.data()), partial.size(), frames));
    EXPECT_FALSE(cut.Finish());
    EXPECT_EQ(cut.pendingBytes(), 10u);
    EXPECT_TRUE(frames.empty());
}

bool IsJson(const std::string& text) {
    return ClassifyFrame(text).problem != "not JSON";
}

TEST(NmclientMessages, OnlyStrictJsonIsJson) {
    EXPECT_EQ(ClassifyFrame(" {\"a\": [1, -2.5e3, true, null], \"b\": \"x\\u00e9\\n\"} ").kind,
              MessageKind::kOther);
    EXPECT_TRUE(IsJson("\"\\ud83d\\ude00\""));
    EXPECT_TRUE(IsJson(std::string(1000, '[') + std::string(1000, ']')));
    for (const char* bad :
         {"", "{", "{\"a\":1,}", "[1 2]", "01", "1.", "-", "tru", "\"a", "\"\\x\"", "\"\\ud83d\"",
          "{} {}", "{\"a\" 1}", "\"tab\there\"", "// note\n{}", "\"\xff\""}) {
        EXPECT_FALSE(IsJson(bad)) << bad;
    }
}

TEST(NmclientMessages, KnownMessagesAreRecognisedAndChecked) {
    const HostMessage open = ClassifyFrame(kOpenReply);
    EXPECT_EQ(open.kind, MessageKind::kOpenReply);
    EXPECT_EQ(open.maxx, 2150);
    EXPECT_EQ(open.maxy, 1400);
    const HostMessage zero =
        ClassifyFrame("{\"command\":\"OPEN\",\"status\":0,\"device\":0,\"maxx\":0,\"maxy\":-3}");
    EXPECT_EQ(zero.kind, MessageKind::kOpenReply);
    EXPECT_EQ(zero.maxy, -3);

    const HostMessage point = ClassifyFrame(Point(2748, 3567, 1));
    EXPECT_EQ(point.kind, MessageKind::kPoint);
    EXPECT_EQ(point.x, 2748);
    EXPECT_TRUE(point.down);
    EXPECT_EQ(ClassifyFrame(kGoodbye).kind, MessageKind::kGoodbye);
    EXPECT_EQ(ClassifyFrame("{\"text\":\"hello\"}").kind, MessageKind::kOther);

    EXPECT_EQ(ClassifyFrame(Point(1, 2, 2)).problem, "POINT with P = 2");
    EXPECT_EQ(ClassifyFrame("{\"command\":\"POINT\",\"X\":1.5,\"Y\":2,\"P\":1}").problem,
              "POINT with no integer \"X\"");
    EXPECT_EQ(ClassifyFrame("{\"command\":\"OPEN\",\"status\":1}").problem,
              "OPEN reply with no integer \"device\"");
    EXPECT_EQ(
        ClassifyFrame("{\"command\":\"POINT\",\"X\":1,\"Y\":9223372036854775808,\"P\":1}").problem,
        "POINT with no integer \"Y\"");
    EXPECT_EQ(ClassifyFrame("{\"command\":\"POINT\",\"X\":-9223372036854775808,\"Y\":2,\"P\":0}").x,
              INT64_MIN);
    EXPECT_EQ(ClassifyFrame("Fatal Error: MFC initialization failed.").kind,
              MessageKind::kMalformed);
}

TEST(NmclientMessages, LinesAreJsonEvenForTextThatIsNot) {
    EXPECT_EQ(JsonLine(kOpenReply), kOpenReply);
    EXPECT_EQ(JsonLine("plain \"text\"\\"), "\"plain \\\"text\\\"\\\\\"");
    EXPECT_EQ(JsonLine("{\"a\":\n1}"), "\"{\\\"a\\\":\\n1}\"");
    // A byte that is not UTF-8 becomes U+FFFD; valid sequences stay as they are.
    EXPECT_EQ(JsonLine(std::string("a\x01\xff\xc3\xa9", 5)), "\"a\\u0001\xef\xbf\xbd\xc3\xa9\"");
    EXPECT_TRUE(IsJson(JsonLine(std::string("\x80\xc3", 2))));
}

TEST(NmclientMessages, AnyBytesGiveAJsonLineAndNeverUpsetTheParser) {
    std::mt19937 random(12345);
    const std::string alphabet = "{}[]\":,.-+eE0123456789truefalsn \\u\x01\xc3\xa9\xff";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = random() % 24;
        for (size_t i = 0; i < length; ++i) {
            text.push_back(round % 2 ? alphabet[random() % alphabet.size()]
                                     : static_cast<char>(random()));
        }
        ClassifyFrame(text);
        ASSERT_TRUE(IsJson(JsonLine(text))) << text;
    }
}

SessionVerdict GoodSession() {
    SessionVerdict verdict;
    verdict.OnFrame(ClassifyFrame(kOpenReply));
    verdict.OnFrame(ClassifyFrame(Point(5, 6, 1)));
    verdict.OnFrame(ClassifyFrame(Point(7, 8, 0)));
    verdict.OnFrame(ClassifyFrame(kGoodbye));
    verdict.OnHostExit(0, "exited with code 0");
    return verdict;
}

TEST(NmclientVerdict, AGoodSessionPasses) {
    const Verdict verdict = GoodSession().Result();
    EXPECT_EQ(verdict.exitCode, kExitOk) << verdict.reason;
    SessionVerdict wanted = GoodSession();
    wanted.WantPoints(2);
    wanted.ExpectStatus(1);
    EXPECT_EQ(wanted.Result().exitCode, kExitOk);
}

TEST(NmclientVerdict, EachFailureHasItsOwnCode) {
    SessionVerdict noReply;
    noReply.OnFrame(ClassifyFrame(kGoodbye));
    noReply.OnHostExit(0, "exited with code 0");
    EXPECT_EQ(noReply.Result().exitCode, kExitNoOpenReply);

    SessionVerdict pointFirst;
    pointFirst.OnFrame(ClassifyFrame(Point(1, 1, 1)));
    pointFirst.OnFrame(ClassifyFrame(kOpenReply));
    EXPECT_EQ(pointFirst.Result().exitCode, kExitBadFrame);

    SessionVerdict cut = GoodSession();
    cut.OnBadFraming("the output ended inside a frame (3 bytes left)");
    EXPECT_EQ(cut.Result().exitCode, kExitBadFrame);

    SessionVerdict noGoodbye;
    noGoodbye.OnFrame(ClassifyFrame(kOpenReply));
    noGoodbye.OnHostExit(0, "exited with code 0");
    EXPECT_EQ(noGoodbye.Result().exitCode, kExitMissingGoodbye);

    SessionVerdict afterGoodbye = GoodSession();
    afterGoodbye.OnFrame(ClassifyFrame(Point(1, 1, 1)));
    EXPECT_EQ(afterGoodbye.Result().exitCode, kExitMissingGoodbye);

    SessionVerdict crashed = GoodSession();
    crashed.OnHostExit(std::nullopt, "was killed by signal 11");
    EXPECT_EQ(crashed.Result().exitCode, kExitHostExitCode);
    EXPECT_EQ(crashed.Result().reason, "the host was killed by signal 11");

    SessionVerdict status = GoodSession();
    status.ExpectStatus(0);
    EXPECT_EQ(status.Result().exitCode, kExitStatusMismatch);

    SessionVerdict few = GoodSession();
    few.WantPoints(3);
    EXPECT_EQ(few.Result().exitCode, kExitTooFewPoints);

    SessionVerdict notStarted;
    notStarted.OnStartFailure("no such file");
    EXPECT_EQ(notStarted.Result().exitCode, kExitCouldNotStart);
}

TEST(NmclientSvg, EachPenDownRunBecomesOnePolyline) {
    const std::vector<CapturedPoint> points = {
        {10, 20, true}, {11, 21, true},  {12, 22, false},  // stroke, lifted
        {30, 40, true}, {31, 41, false},                   // a dot
        {50, 60, true}, {51, 61, true},                    // still down at the end
    };
    const auto strokes = BuildStrokes(points);
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_EQ(strokes[0], (Polyline{{10, 20}, {11, 21}}));
    EXPECT_EQ(strokes[1], (Polyline{{30, 40}}));
    EXPECT_EQ(strokes[2], (Polyline{{50, 60}, {51, 61}}));
    EXPECT_TRUE(BuildStrokes({{1, 1, false}, {2, 2, false}}).empty());

    const std::string svg = WriteSvg(strokes, 2150, 1400);
    EXPECT_NE(svg.find("viewBox=\"0 0 2150 1400\""), std::string::npos);
    EXPECT_NE(svg.find("<polyline points=\"10,20 11,21\"/>"), std::string::npos);
    EXPECT_NE(svg.find("<polyline points=\"30,40 30,40\"/>"), std::string::npos);
    size_t lines = 0;
    for (size_t at = svg.find("<polyline"); at != std::string::npos;
         at = svg.find("<polyline", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3u);
    // Without a size from the OPEN reply the drawing's extent is used.
    EXPECT_NE(WriteSvg(strokes, 0, 0).find("viewBox=\"0 0 51 61\""), std::string::npos);
}

TEST(NmclientOptions, ReadsValuesAndRefusesBadOnes) {
    const auto parsed = ParseClientOptions(
        {"--points", "500", "--duration=2.5", "--quiet", "--expect-status", "1", "--svg", "x.svg"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->points, 500u);
    EXPECT_DOUBLE_EQ(*parsed.options->durationSeconds, 2.5);
    EXPECT_TRUE(parsed.options->quiet);
    EXPECT_EQ(parsed.options->expectStatus, 1);
    EXPECT_EQ(parsed.options->svgFile, "x.svg");
    EXPECT_FALSE(ParseClientOptions({"--points", "0"}).options);
    EXPECT_FALSE(ParseClientOptions({"--duration"}).options);
    EXPECT_FALSE(ParseClientOptions({"--timeout", "soon"}).options);
    EXPECT_FALSE(ParseClientOptions({"--verbose"}).options);
    EXPECT_TRUE(ParseClientOptions({"--help"}).helpWanted);
}

TEST(NmclientOptions, NumbersAreDecimalAndTheLastValueCounts) {
    const auto parsed = ParseClientOptions(
        {"--points", "010", "--expect-status", "-1", "--timeout", "0", "--timeout", "7"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->points, 10u) << "not octal";
    EXPECT_EQ(parsed.options->expectStatus, -1);
    EXPECT_DOUBLE_EQ(parsed.options->timeoutSeconds, 7);
    EXPECT_DOUBLE_EQ(parsed.options->closeTimeoutSeconds, 5) << "the default";
    const std::vector<std::vector<std::string>> refusedLines = {
        {"--points", "-1"}, {"--points", "0x10"},  {"--duration", "nan"}, {"--timeout", " 5"},
        {"--svg="},         {"--host-binary", ""}, {"--quiet", "extra"}};
    for (const auto& bad : refusedLines) {
        const auto refused = ParseClientOptions(bad);
        EXPECT_FALSE(refused.options) << bad[0];
        EXPECT_FALSE(refused.error.empty()) << bad[0];
    }
    EXPECT_TRUE(ParseClientOptions({"--points", "x", "--help"}).helpWanted);
}

TEST(NmclientOptions, HelpListsEveryOptionBetweenTheProse) {
    const std::string help = HelpText();
    EXPECT_EQ(help.rfind("Usage: nmclient [OPTIONS]\n", 0), 0u);
    for (const char* option : {"--host-binary PATH", "--duration S", "--points N", "--timeout S",
                               "--close-timeout S", "--expect-status N", "--svg FILE",
                               "--host-stderr FILE", "--quiet", "--progress", "--stats"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_LT(help.find("Stands in for the browser"), help.find("--host-binary"));
    EXPECT_LT(help.find("--stats"), help.find("Exit codes"));
}

}  // namespace
