#include <gtest/gtest.h>

#include "HostMessages.h"
#include "HostSession.h"
#include "LogLines.h"

namespace {

using namespace testsupport;

TEST(Capture, OpenWithoutSettingsFileHasNoVisibleEffect) {
    TemporaryRoot root;
    HostSession host(root);
    host.SendOpen();
    EXPECT_EQ(host.process().Read(1, 300ms), "");
    host.SendClose();
    EXPECT_EQ(host.ReadFrame(), kGoodbye);
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    const std::string trace = host.process().ErrorOutput();
    EXPECT_NE(trace.find("Checking for Inkora INI file exists..."), std::string::npos);
    EXPECT_EQ(trace.find("Checking for Lumarq device..."), std::string::npos);
}

TEST(Capture, PadKindWithoutTransportIsAnsweredWithZerosEveryTime) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\nTabletType=1\nEnableLogging=1\n");
    HostSession host(root);
    for (int attempt = 0; attempt < 2; ++attempt) {
        host.SendOpen();
        EXPECT_EQ(host.ReadFrame(), kZeroOpenReply);
    }
    host.SendClose();
    EXPECT_EQ(host.ReadFrame(), kGoodbye);
    EXPECT_TRUE(host.process().OutputEnds(5000ms));
    EXPECT_EQ(host.process().WaitForExit(5000ms), 0);
    const std::string trace = host.process().ErrorOutput();
    EXPECT_NE(trace.find("Lumarq drivers are installed, but device is not connected."),
              std::string::npos);

    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    const std::vector<std::string> messages = LogMessages(log);
    ASSERT_FALSE(messages.empty()) << log;
    EXPECT_EQ(messages.front(), "Tessel v2.0.1.1");
}

}  // namespace
