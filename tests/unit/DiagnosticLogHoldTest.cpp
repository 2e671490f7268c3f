#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
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

// The thread id of the calling thread.
pid_t ThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Waits until thread `tid` of this process sleeps (state S in /proc). The threads below sleep
// in one place only: blocked in the log's write, or waiting for the log's lock.
void WaitUntilAsleep(pid_t tid) {
    for (;;) {
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        const std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t nameEnd = text.rfind(')');
        if (nameEnd != std::string::npos && nameEnd + 2 < text.size() && text[nameEnd + 2] == 'S') {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Whether the bytes are one line of the writer's, then the termination line, and nothing else.
bool OneLineThenTheLast(const std::string& lines) {
    const std::string last = std::string(": ") + kTerminationLine + "\n";
    const size_t firstEnd = lines.find('\n');
    return firstEnd != std::string::npos &&
           lines.substr(0, firstEnd).ends_with(": a line in progress") &&
           lines.find('\n', firstEnd + 1) == lines.size() - 1 && lines.ends_with(last);
}

// In a child process, where the hold stays for good. The log's descriptor is swapped for a full
// pipe, so that a writer's line stays in progress until the pipe is read, and the pipe is read
// only once the hold waits. The hold must wait for that line (which could end only after the
// reading began) and then let no later line start: after its filling the pipe brings that one
// line and the termination line, and nothing follows. Each step waits for the event it needs,
// however busy the machine.
[[noreturn]] void HoldWhileALineIsInProgress(const std::string& path) {
    TabletSettings settings;
    settings.EnableLogging = true;
    OpenLogFile(settings);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_NONBLOCK) != 0) {
        _exit(2);
    }
    size_t filling = 0;
    while (write(pipeEnds[1], "f", 1) == 1) {
        ++filling;
    }
    fcntl(pipeEnds[1], F_SETFL, 0);
    dup2(pipeEnds[1], LogDescriptor(path));
    static std::atomic<pid_t> writer{0};
    std::thread([] {
        writer = ThreadId();
        for (;;) {
            WriteLogLine("a line in progress");
        }
    }).detach();
    while (writer == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    WaitUntilAsleep(writer);  // its first line is blocked in the full pipe
    static std::atomic<bool> readingBegan{false};
    static std::mutex readLock;
    static std::string bytesRead;
    std::thread([reader = pipeEnds[0], holder = ThreadId()] {
        WaitUntilAsleep(holder);  // waiting in the hold for the line in progress
        readingBegan = true;
        fcntl(reader, F_SETFL, 0);
        char bytes[4096];
        for (ssize_t n; (n = read(reader, bytes, sizeof bytes)) > 0;) {
            std::lock_guard<std::mutex> hold(readLock);
            bytesRead.append(bytes, static_cast<size_t>(n));
        }
    }).detach();
    HoldLogForProcessEnd();
    if (!readingBegan) {
        _exit(3);  // the hold did not wait for the line in progress
    }
    const auto readNow = [] {
        std::lock_guard<std::mutex> hold(readLock);
        return bytesRead;
    };
    while (!readNow().ends_with(std::string(kTerminationLine) + "\n")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // time for a line that follows
    _exit(OneLineThenTheLast(readNow().substr(filling)) ? 0 : 1);
}

// A termination request waits for the line being written and lets no other line start.
TEST(DiagnosticLogDeathTest, HoldForProcessEndWaitsForTheLineInProgressAndStopsLaterOnes) {
    ScopedInkoraRoot root;
    EXPECT_EXIT(HoldWhileALineIsInProgress(root.TempPath("tessel.log")), testing::ExitedWithCode(0),
                "");
}

}  // namespace
