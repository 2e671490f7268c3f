#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <thread>

#include "HostMessages.h"
#include "HostSession.h"
#include "LoopbackPeer.h"
#include "Padsim.h"

namespace {

using namespace testsupport;

TEST(CommandLoop, CloseWithoutOpenSaysGoodbyeAndExitsZero) {
    TemporaryRoot root;
    HostSession host(root);
    ASSERT_TRUE(host.SendClose());
    const std::string bytes = host.process().Read(25, 5000ms);
    EXPECT_EQ(bytes, Frame(kGoodbye));
    EXPECT_TRUE(host.process().OutputEnds(5000ms));
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    EXPECT_NE(host.process().ErrorOutput().find("Message is STOP\n"), std::string::npos);
}

// --help and --version answer on standard output; what browsers pass (Chrome: the caller's
// origin, on Windows a window handle; Firefox: the manifest's path and the extension's id) leaves
// the host serving as always. An empty pattern marks a host that must serve.
TEST(CommandLoop, AnswersHelpAndVersionAndServesWhateverBrowsersPass) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--help"}, "^Usage: Lumarq\\.OrvaneSignExtension [\\s\\S]*ROOT/windows/Inkora\\.ini"},
        {{"-h", "chrome-extension://x/"}, "^Usage: "},
        {{"--version"}, "^Lumarq\\.OrvaneSignExtension " HOST_PACKAGE_VERSION "\n$"},
        {{"chrome-extension://lpgpmhiljaeoagdmcipdfbleekjelifd/", "--parent-window=0"}, ""},
        {{"/usr/lib/mozilla/native-messaging-hosts/a.json", "signing-pad@lumarq.example"}, ""},
        {{"chrome-extension://x/", "--help"}, ""},
    };
    for (const auto& [arguments, pattern] : cases) {
        SCOPED_TRACE(arguments.front());
        TemporaryRoot root;
        std::vector<std::string> argv = {HostBinary()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        HostSession host(argv, {{"INKORA_ROOT", root.path()}});
        if (pattern.empty()) {
            host.CloseExpectingGoodbyeLast();
            continue;
        }
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
        const std::string expected = std::regex_replace(pattern, std::regex("ROOT"), root.path());
        EXPECT_TRUE(std::regex_search(output, std::regex(expected))) << output;
        EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    }
}

// --check reports the settings and what the pad answered, and exits 1 when no pad answered. (No
// case leaves the transport to its default: that would open the machine's first serial port.)
TEST(CommandLoop, CheckReportsTheSettingsAndThePadAndExitsOneWithoutAPad) {
    const uint16_t port = loopback::FreePort();
    struct Case {
        std::optional<std::string> settings;
        bool bridge;
        std::vector<std::string> said;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {std::nullopt, false, {"Inkora.ini\n  cannot be read"}, 1},
        {"[Tablet]\nTabletType=1\nTabletModle=Pad2\n",
         false,
         {"  TabletType                 1                  file\n",
          "  TabletModel                Tablet             default\n",
          "[Tablet] holds TabletModle, which the host does not read", "Transport: kind 1, none",
          "No pad found"},
         1},
        {"[Tablet]\nTabletType=7\nTabletPortPath=pad-1\nSocketTimeout=5000\nSocketPort=" +
             std::to_string(port - 1) + "\n",
         true,
         {"TCP listener on port " + std::to_string(port) + ", for a bridge presenting \"pad-1\"",
          "Pad: serial number 123456, model 5, logical size 2150 x 1400\n"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.value_or("no settings file"));
        TemporaryRoot root;
        if (c.settings) {
            root.WriteSettings(*c.settings);
        }
        const auto bridge = c.bridge ? StartPadsimBridge(port, "pad-1", 10, {}) : nullptr;
        HostSession host({HostBinary(), "--check"}, {{"INKORA_ROOT", root.path()}});
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(15000ms, &output));
        for (const std::string& text : c.said) {
            EXPECT_NE(output.find(text), std::string::npos) << text << "\nin\n" << output;
        }
        EXPECT_EQ(host.process().WaitForExit(5000ms), c.exitCode) << output;
    }
}

TEST(CommandLoop, TraceLinesStayOffStandardErrorUnlessAskedFor) {
    unsetenv("INKORA_TRACE");
    for (const ChildProcess::Environment& quiet :
         {ChildProcess::Environment{}, ChildProcess::Environment{{"INKORA_TRACE", "0"}}}) {
        TemporaryRoot root;
        ChildProcess::Environment environment = quiet;
        environment.emplace_back("INKORA_ROOT", root.path());
        HostSession host({HostBinary()}, environment);
        host.Send("hello");
        host.CloseExpectingGoodbyeLast();
        EXPECT_EQ(host.process().ErrorOutput(), "");
    }
}

// Commands match byte for byte. A settings file whose pad kind has no transport makes a taken
// OPEN visible (the zero reply), so that one taken by mistake cannot pass for one ignored.
TEST(CommandLoop, IgnoresEveryBodyThatIsNotExactlyACommand) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\nTabletType=1\n");
    HostSession host(root);
    const std::string open = "{\"command\":\"OPEN\"}";
    const std::string close = "{\"command\":\"CLOSE\"}";
    for (const std::string& command : {open, close}) {
        host.Send(command + " ");
        host.Send(command + std::string(1, '\0'));  // equal up to the first zero byte
        host.Send(" " + command);
        host.Send(command.substr(0, command.size() - 1));
    }
    host.Send("{\"command\":\"open\"}");
    host.Send("{\"command\":\"close\"}");
    host.Send(std::string("{\"command\"\0:\"CLOSE\"}", 19));
    host.Send("garbage");
    ASSERT_TRUE(host.process().WaitForErrorOutput("garbage"));
    EXPECT_EQ(host.process().Read(1, 200ms), "") << "an ignored message was answered";
    EXPECT_TRUE(host.process().Running());
    host.SendOpen();
    EXPECT_EQ(host.ReadFrame(), kZeroOpenReply);
    host.SendClose();
    EXPECT_EQ(host.ReadFrame(), kGoodbye);
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

TEST(CommandLoop, RejectedLengthsEndTheHostSilentlyWithExitZero) {
    const std::vector<std::string> rejections = {
        std::string("\0\0\0\0", 4),                           // empty message
        std::string("\x15\0\0\0", 4) + std::string(21, 'x'),  // 21 bytes
        std::string("\0\0\0\x12", 4),                         // big-endian length
        std::string("\x05\0", 2),                             // end of input inside the length
    };
    for (const std::string& input : rejections) {
        TemporaryRoot root;
        HostSession host(root);
        host.process().Write(input);
        host.process().CloseInput();
        std::string output;
        EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
        EXPECT_EQ(output, "");
        EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
        EXPECT_NE(host.process().ErrorOutput().find("JSON Input string exceeded the max Length."),
                  std::string::npos);
    }
}

TEST(CommandLoop, EndOfInputInsideABodyIsIgnoredThenEndsTheHost) {
    TemporaryRoot root;
    HostSession host(root);
    host.process().Write(std::string("\x13\0\0\0", 4) + "{\"command\":\"CLOSE");
    host.process().CloseInput();
    std::string output;
    EXPECT_TRUE(host.process().OutputEnds(5000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

TEST(CommandLoop, SecondInstanceExitsOneWhileTheFirstKeepsServing) {
    TemporaryRoot root;
    HostSession first(root);
    first.Send("hello");
    ASSERT_TRUE(first.process().WaitForErrorOutput("hello"));

    HostSession second(root);
    second.SendClose();
    std::string output;
    EXPECT_TRUE(second.process().OutputEnds(5000ms, &output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(second.process().WaitForExit(5000ms), 1);
    EXPECT_NE(second.process().ErrorOutput().find(
                  "Another instance of the application is already running"),
              std::string::npos);

    first.SendClose();
    EXPECT_EQ(first.ReadFrame(), kGoodbye);
    EXPECT_EQ(first.process().WaitForExit(5000ms), 0);
}

TEST(CommandLoop, HostWhoseReaderHasGoneIsNotKilledBySigpipe) {
    TemporaryRoot root;
    HostSession host(root);
    host.Send("ping");
    ASSERT_TRUE(host.process().WaitForErrorOutput("ping"));
    host.process().CloseOutput();
    host.SendClose();  // the goodbye now meets a broken pipe
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
}

}  // namespace
