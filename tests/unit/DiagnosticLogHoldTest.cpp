#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "TemporaryRoot.h"
#include "tablet/DiagnosticLog.h"

// The log's hold for a process that is about to be ended, with a POSIX pipe standing in for a
// log file whose write does not finish.
namespace {

using testsupport::ScopedInkoraRoot;

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
