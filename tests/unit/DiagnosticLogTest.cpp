#include "tablet/DiagnosticLog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "LogLines.h"
#include "TemporaryRoot.h"

namespace {

using testsupport::ScopedInkoraRoot;

TEST(DiagnosticLog, LinePrefixIsTimeAndThreadInFixedWidth) {
    char line[2048];
    FormatLogLine(line, 1234, 0x1A2C, "hello");
    EXPECT_STREQ(line, "000000001234:00001a2c: hello\n");
    FormatLogLine(line, 0x80000000u, 0xFFFFFFFFu, "x");
    EXPECT_STREQ(line, "-02147483648:ffffffff: x\n");
}

TEST(DiagnosticLog, OverlongMessageIsCutToFitTheLineBuffer) {
    char line[2048];
    const std::string message(5000, 'm');
    const int length = FormatLogLine(line, 1, 1, message.c_str());
    EXPECT_EQ(length, 2047);
    EXPECT_EQ(std::strlen(line), 2047u);
    EXPECT_EQ(line[2046], '\n');
}

TEST(DiagnosticLog, StartsAFreshFileWithTheBanner) {
    ScopedInkoraRoot root;
    const std::string path = root.TempPath("tessel.log");
    std::ofstream(path) << "old content\n";
    TabletSettings settings;
    settings.EnableLogging = true;
    OpenLogFile(settings);
    WriteLogLine("first event");
    CloseLogFile();
    const std::string log = root.ReadFile(path);
    EXPECT_EQ(testsupport::LogMessages(log),
              (std::vector<std::string>{"Tessel v2.0.1.1", "first event"}))
        << log;
}

TEST(DiagnosticLog, WritesNothingWhileLoggingIsOff) {
    ScopedInkoraRoot root;
    TabletSettings settings;
    settings.EnableLogging = false;
    OpenLogFile(settings);
    WriteLogLine("dropped");
    CloseLogFile();
    EXPECT_FALSE(std::filesystem::exists(root.TempPath("tessel.log")));
}

TEST(DiagnosticLog, MissingDirectoryReportsOnStandardErrorAndLogsNothing) {
    ScopedInkoraRoot root;
    std::filesystem::remove_all(root.TempDirectory());
    TabletSettings settings;
    settings.EnableLogging = true;
    testing::internal::CaptureStderr();
    OpenLogFile(settings);
    WriteLogLine("dropped");
    const std::string errors = testing::internal::GetCapturedStderr();
    CloseLogFile();
    EXPECT_EQ(errors.rfind("Error: ", 0), 0u) << errors;
}

// The descriptor of the open log file.
int LogDescriptor(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path) {
            return std::stoi(entry.path().filename().string());
        }
    }
    return -1;
}

// In a child process, where the hold stays for good. The log's descriptor is swapped for a full
// pipe, so that a writer's line stays in progress until the pipe is read, 100 ms on (70 ms
// after the hold begins). The hold
// must wait for that line, and then let no later line start: the pipe's bytes end with a whole
// line and grow no more.
[[noreturn]] void HoldWhileALineIsInProgress(const std::string& path) {
    TabletSettings settings;
    settings.EnableLogging = true;
    OpenLogFile(settings);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_NONBLOCK) != 0) {
        _exit(2);
    }
    while (write(pipeEnds[1], "f", 1) == 1) {
    }
    fcntl(pipeEnds[1], F_SETFL, 0);
    dup2(pipeEnds[1], LogDescriptor(path));
    static std::atomic<size_t> drained{0};
    static std::atomic<bool> lastWasLineEnd{false};
    std::thread([] {
        for (;;) {
            WriteLogLine("a line in progress");
        }
    }).detach();
    std::thread([reader = pipeEnds[0]] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fcntl(reader, F_SETFL, 0);
        char bytes[4096];
        for (ssize_t n; (n = read(reader, bytes, sizeof bytes)) > 0;) {
            lastWasLineEnd = bytes[n - 1] == '\n';
            drained += static_cast<size_t>(n);
        }
    }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the writer is blocked by now
    const auto start = std::chrono::steady_clock::now();
    HoldLogForProcessEnd();
    const auto waited = std::chrono::steady_clock::now() - start;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // what was written is read
    const size_t held = drained;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool stillHeld = drained == held && lastWasLineEnd;
    _exit(waited >= std::chrono::milliseconds(60) && stillHeld ? 0 : 1);
}

// A termination request waits for the line being written and lets no other line start.
TEST(DiagnosticLogDeathTest, HoldForProcessEndWaitsForTheLineInProgressAndStopsLaterOnes) {
    ScopedInkoraRoot root;
    EXPECT_EXIT(HoldWhileALineIsInProgress(root.TempPath("tessel.log")), testing::ExitedWithCode(0),
                "");
}

}  // namespace
