#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>

#include "HostMessages.h"
#include "HostSession.h"
#include "LogLines.h"
#include "PseudoTerminal.h"

namespace {

using namespace testsupport;

constexpr bool kSanitizedBuild = HOST_SANITIZED_BUILD;

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

// Only a regular file counts as the settings file: a directory or a FIFO of that name leaves OPEN
// unanswered (no pad opened on default settings) and the host goes on reading commands.
TEST(Capture, SettingsPathThatIsNoRegularFileCountsAsMissing) {
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "directory");
        TemporaryRoot root;
        const std::string path = root.WindowsPath("Inkora.ini");
        ASSERT_EQ(fifo ? mkfifo(path.c_str(), 0600) : mkdir(path.c_str(), 0700), 0);
        HostSession host(root);
        host.SendOpen();
        EXPECT_EQ(host.process().Read(1, 500ms), "");
        host.CloseExpectingGoodbyeLast();
        EXPECT_EQ(host.process().ErrorOutput().find("Checking for Lumarq device..."),
                  std::string::npos);
    }
}

// Limits a running process's address space to what it maps now plus `headroom` bytes, so that
// allocations beyond that fail and no thread stack fits.
bool CapAddressSpace(pid_t pid, rlim_t headroom) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    rlim_t kilobytes = 0;
    while (status >> key && key != "VmSize:") {
    }
    if (!(status >> kilobytes)) {
        return false;
    }
    const rlimit cap{kilobytes * 1024 + headroom, kilobytes * 1024 + headroom};
    return prlimit(pid, RLIMIT_AS, &cap, nullptr) == 0;
}

// Out of memory for the Tablet, or for a thread, OPEN fails as the pad's absence does (no reply,
// or the zero reply), and the host goes on serving instead of aborting.
TEST(Capture, TabletOrThreadThatCannotBeCreatedLeavesTheHostServing) {
    if (kSanitizedBuild) {
        GTEST_SKIP() << "the sanitizers' runtimes need their own address space";
    }
    for (const rlim_t headroom : {rlim_t{0}, rlim_t{2} << 20}) {
        SCOPED_TRACE(headroom);
        TemporaryRoot root;
        PseudoTerminal line;
        root.WriteSettings("[Tablet]\nTabletType=0\nTabletPortPath=/dev/pts/\nTabletComPort=" +
                           std::to_string(line.Number()) + "\n");
        HostSession host(root);
        host.Send("{\"command\":\"NONE\"}");
        ASSERT_TRUE(host.process().WaitForErrorOutput("NONE"));
        ASSERT_TRUE(CapAddressSpace(host.process().pid(), headroom));
        host.SendOpen();
        const std::optional<std::string> reply = host.ReadFrame(1000ms);
        if (headroom == 0) {
            EXPECT_EQ(reply, std::nullopt) << "a Tablet was created without memory for it";
        } else {
            EXPECT_EQ(reply, kZeroOpenReply) << "no watch thread can run, so no pad is there";
        }
        host.CloseExpectingGoodbyeLast();
    }
}

// OPEN2 is answered as well, in its own shape, so that its caller can tell an absent pad from a
// host that does not know OPEN2.
TEST(Capture, PadKindWithoutTransportIsAnsweredWithZerosEveryTime) {
    TemporaryRoot root;
    root.WriteSettings("[Tablet]\nTabletType=1\nEnableLogging=1\n");
    HostSession host(root);
    for (int attempt = 0; attempt < 2; ++attempt) {
        host.SendOpen();
        EXPECT_EQ(host.ReadFrame(), kZeroOpenReply);
    }
    host.Send(kRichOpen);
    EXPECT_EQ(host.ReadFrame(),
              "{\"command\":\"OPEN\",\"status\":0,\"device\":0,\"maxx\":0,"
              "\"maxy\":0,\"serial\":0,\"model\":0,\"protocol\":2}");
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
