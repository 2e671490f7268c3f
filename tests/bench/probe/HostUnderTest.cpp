#include "HostUnderTest.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace probe {
namespace {

std::string Framed(std::string_view text) {
    const auto n = static_cast<uint32_t>(text.size());
    std::string frame{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                      static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
    frame.append(text);
    return frame;
}

// Cuts the whole frames off the front of pending.
template <typename OnFrame>
void TakeFrames(std::string& pending, OnFrame onFrame) {
    size_t offset = 0;
    while (pending.size() - offset >= 4) {
        uint32_t n = 0;
        for (int i = 0; i < 4; ++i) {
            n |= static_cast<uint32_t>(static_cast<uint8_t>(pending[offset + i])) << (8 * i);
        }
        if (pending.size() - offset - 4 < n) {
            break;
        }
        onFrame(pending.substr(offset + 4, n));
        offset += 4 + n;
    }
    pending.erase(0, offset);
}

}  // namespace

HostUnderTest::HostUnderTest(const std::string& binary, const std::string& root) {
    int toHost[2];
    int fromHost[2];
    if (pipe2(toHost, O_CLOEXEC) != 0 || pipe2(fromHost, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(toHost[0], STDIN_FILENO);
        dup2(fromHost[1], STDOUT_FILENO);
        const int nowhere = open("/dev/null", O_WRONLY);
        dup2(nowhere, STDERR_FILENO);  // a host that traces anyway keeps it to itself
        setenv("INKORA_ROOT", root.c_str(), 1);
        unsetenv("INKORA_TRACE");
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toHost[0]);
    close(fromHost[1]);
    input_ = toHost[1];
    output_ = fromHost[0];
    reader_ = std::thread([this] { ReadOutput(); });
}

HostUnderTest::~HostUnderTest() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) {
        close(input_);
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    close(output_);
}

void HostUnderTest::Send(std::string_view text) {
    const std::string frame = Framed(text);
    [[maybe_unused]] const ssize_t n = write(input_, frame.data(), frame.size());
}

void HostUnderTest::ReadOutput() {
    std::string pending;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(output_, buffer, sizeof buffer);
        const Clock::time_point readAt = Clock::now();
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(n));
        std::lock_guard<std::mutex> hold(lock_);
        TakeFrames(pending, [&](std::string text) {
            frames_.push_back({std::move(text), readAt});
        });
        arrived_.notify_one();
    }
    std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    arrived_.notify_one();
}

std::optional<TimedFrame> HostUnderTest::NextFrame(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(lock_);
    arrived_.wait_for(hold, timeout, [this] { return !frames_.empty() || ended_; });
    if (frames_.empty()) {
        return std::nullopt;
    }
    TimedFrame frame = std::move(frames_.front());
    frames_.pop_front();
    return frame;
}

long HostUnderTest::CloseAndPeakResidentKiB() {
    Send("{\"command\":\"CLOSE\"}");
    close(input_);
    input_ = -1;
    reader_.join();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        int status = 0;
        rusage usage{};
        if (wait4(pid_, &status, WNOHANG, &usage) == pid_) {
            pid_ = -1;
            return usage.ru_maxrss;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

}  // namespace probe
