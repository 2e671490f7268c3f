#include "padsim/Runtime.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace padsim {
namespace {

volatile sig_atomic_t stopSignal = 0;

void OnStopSignal(int) {
    stopSignal = 1;
}

}  // namespace

void Log(const std::string& event) {
    const std::string line = "padsim: " + event + "\n";
    // One write per line, so that lines from the host and padsim sharing a terminal stay whole.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked call returns so the stop is seen at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return stopSignal != 0;
}

RunDeadline::RunDeadline(double seconds) {
    if (seconds > 0) {
        end_ = Clock::now() +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }
}

bool RunDeadline::passed() const {
    return end_ && Clock::now() >= *end_;
}

std::chrono::milliseconds RunDeadline::Clip(std::chrono::milliseconds cap) const {
    if (!end_) {
        return cap;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*end_ - Clock::now());
    return std::clamp(left, std::chrono::milliseconds(0), cap);
}

void Nap(std::chrono::milliseconds duration, const RunDeadline& deadline) {
    const auto end = Clock::now() + duration;
    while (!StopRequested() && !deadline.passed() && Clock::now() < end) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
}

ScopedFd::~ScopedFd() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::string SystemError() {
    return std::strerror(errno);
}

}  // namespace padsim
