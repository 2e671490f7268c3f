#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "HostMessages.h"
#include "HostSession.h"
#include "LogLines.h"
#include "WinePrefix.h"

namespace {

using namespace testsupport;

// The Windows host under Wine: framing, the command loop and its single-instance rule.
class WineHost : public ::testing::Test {
protected:
    WinePrefix prefix;
};

TEST_F(WineHost, CloseWithoutOpenSaysGoodbyeInExactBytesAndExitsZero) {
    auto host = prefix.StartHost();
    ASSERT_TRUE(host->SendClose());
    const std::string expected = std::string("\x15\0\0\0", 4) + "{\"text\":\"EXITING...\"}";
    EXPECT_EQ(host->process().Read(expected.size() + 1, 10000ms), expected);
    EXPECT_TRUE(host->process().OutputEnds(5000ms));
    EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
}

// A length of 10 is a line feed byte; the body holds carriage returns, line feeds and the byte
// that a text-mode runtime reads as the end of the input. Read in binary mode, the frame is one
// ignored message and the CLOSE after it is understood.
TEST_F(WineHost, LineEndAndEndOfFileBytesPassThroughTheFramingUnchanged) {
    auto host = prefix.StartHost();
    host->process().Write(std::string("\x0a\0\0\0", 4) + "\x1a\r\n\r\n\x1a\r\r\n\n");
    host->process().Write(std::string("\x0d\0\0\0", 4) + "\r\n\r\n\x1a\x1a\r\r\r\n\n\n\r");
    EXPECT_EQ(host->process().Read(1, 500ms), "");
    EXPECT_TRUE(host->process().Running()) << "the host took a byte for the end of its input";
    host->CloseExpectingGoodbyeLast();
}

TEST_F(WineHost, RejectedLengthsEndTheHostSilentlyWithExitZero) {
    const std::vector<std::string> rejections = {
        std::string("\0\0\0\0", 4),
        std::string("\x15\0\0\0", 4) + std::string(21, 'x'),
    };
    for (const std::string& input : rejections) {
        auto host = prefix.StartHost();
        host->process().Write(input);
        std::string output;
        EXPECT_TRUE(host->process().OutputEnds(10000ms, &output));
        EXPECT_EQ(output, "");
        EXPECT_EQ(host->process().WaitForExit(5000ms), 0);
    }
}

TEST_F(WineHost, SecondCopyExitsOneWithNothingOnItsOutputWhileTheFirstServes) {
    auto first = prefix.StartHost();
    // The first copy is serving once it has answered a message; an ignored one costs nothing.
    first->Send("{\"command\":\"NONE\"}");
    EXPECT_EQ(first->process().Read(1, 1000ms), "");
    auto second = prefix.StartHost();
    std::string output;
    EXPECT_TRUE(second->process().OutputEnds(10000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(second->process().WaitForExit(5000ms), 1);
    EXPECT_TRUE(first->process().Running());
    first->CloseExpectingGoodbyeLast();
}

TEST_F(WineHost, OpenWithoutSettingsFileIsNotAnswered) {
    auto host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->process().Read(1, 1000ms), "");
    host->CloseExpectingGoodbyeLast();
}

TEST_F(WineHost, PadKindWithoutTransportIsAnsweredWithZerosAndLogsWithCarriageReturns) {
    prefix.WriteSettings("[Tablet]\r\nTabletType=1\r\nEnableLogging=1\r\n");
    auto host = prefix.StartHost();
    host->SendOpen();
    EXPECT_EQ(host->ReadFrame(10000ms), kZeroOpenReply);
    host->CloseExpectingGoodbyeLast();

    const std::string log = TemporaryRoot::ReadFile(prefix.TempPath("tessel.log"));
    ASSERT_FALSE(log.empty());
    // Every line ends with CR LF, as the runtime's text mode writes a line feed.
    const auto lineFeeds = std::count(log.begin(), log.end(), '\n');
    size_t crLf = 0;
    for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 2)) {
        ++crLf;
    }
    EXPECT_EQ(crLf, static_cast<size_t>(lineFeeds)) << log;
    std::string unixLines = log;
    unixLines.erase(std::remove(unixLines.begin(), unixLines.end(), '\r'), unixLines.end());
    const std::vector<std::string> messages = LogMessages(unixLines);
    ASSERT_FALSE(messages.empty()) << log;
    EXPECT_EQ(messages.front(), "Tessel v2.0.1.1");
}

}  // namespace
