#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace probe {

using Clock = std::chrono::steady_clock;

// One frame of the host's standard output, with the time the read that completed it returned.
struct TimedFrame {
    std::string text;
    Clock::time_point readAt;
};

// The host binary started as the browser starts it: pipes on standard input and output, the
// temporary root as INKORA_ROOT, no trace lines asked for and standard error discarded. A
// thread reads its output as it comes.
class HostUnderTest {
public:
    HostUnderTest(const std::string& binary, const std::string& root);
    ~HostUnderTest();
    HostUnderTest(const HostUnderTest&) = delete;
    HostUnderTest& operator=(const HostUnderTest&) = delete;

    pid_t pid() const { return pid_; }
    void Send(std::string_view text);
    // The next frame, or nothing when none comes within the timeout or the output has ended.
    std::optional<TimedFrame> NextFrame(std::chrono::milliseconds timeout);
    // Sends CLOSE, reads to the end of the output and waits for the host. Returns its peak
    // resident memory in KiB, or -1 when it did not end.
    long CloseAndPeakResidentKiB();

private:
    void ReadOutput();

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<TimedFrame> frames_;
    bool ended_ = false;
};

}  // namespace probe
