#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "padsim/Playback.h"

namespace padsim {

// One event line on standard error: "padsim: " and the text.
void Log(const std::string& event);

// SIGINT and SIGTERM ask the program to stop; SIGPIPE is ignored so that a vanished peer shows
// up as a failed write.
void InstallSignalHandlers();
bool StopRequested();

// The end of the run that --time-limit sets, if any.
class RunDeadline {
public:
    explicit RunDeadline(double seconds);
    bool passed() const;
    // How long a wait may last: at most `cap`, never past the deadline.
    std::chrono::milliseconds Clip(std::chrono::milliseconds cap) const;

private:
    std::optional<Clock::time_point> end_;
};

// Sleeps in short steps; returns early when a stop is requested or the deadline passes.
void Nap(std::chrono::milliseconds duration, const RunDeadline& deadline);

// Closes a descriptor when it goes out of scope.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd_(fd) {}
    ~ScopedFd();
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The text of errno.
std::string SystemError();

}  // namespace padsim
