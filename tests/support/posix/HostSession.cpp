#include "HostSession.h"
#include "HostMessages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace testsupport {

std::string HostBinary() {
    return HOST_BINARY;
}

ChildProcess::Environment HostEnvironment(const TemporaryRoot& root) {
    return {{"INKORA_ROOT", root.path()}, {"INKORA_TRACE", "1"}};
}

HostSession::HostSession(const TemporaryRoot& root, ChildProcess::ChildSetUp setUp)
    : HostSession({HostBinary()}, HostEnvironment(root), setUp) {}

HostSession::HostSession(const std::vector<std::string>& argv,
                         const ChildProcess::Environment& environment,
                         ChildProcess::ChildSetUp setUp)
    : process_(std::make_unique<ChildProcess>(argv, environment, setUp)) {}

bool HostSession::Send(const std::string& text) {
    return process_->Write(Frame(text));
}

std::optional<std::string> HostSession::ReadFrame(Milliseconds timeout) {
    const std::string header = process_->Read(4, timeout);
    if (header.size() < 4) {
        return std::nullopt;
    }
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) {
        n |= static_cast<uint32_t>(static_cast<uint8_t>(header[static_cast<size_t>(i)])) << (8 * i);
    }
    std::string body = process_->Read(n, timeout);
    if (body.size() < n) {
        return std::nullopt;
    }
    return body;
}

std::vector<std::string> HostSession::ReadFrames(size_t count, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> frames;
    while (frames.size() < count) {
        const auto left =
            std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
        const std::optional<std::string> frame = ReadFrame(std::max(left, 0ms));
        if (!frame) {
            break;
        }
        frames.push_back(*frame);
    }
    return frames;
}

Milliseconds HostSession::CloseExpectingGoodbyeLast() {
    const auto start = std::chrono::steady_clock::now();
    SendClose();
    std::optional<std::string> frame;
    std::string last;
    while ((frame = ReadFrame(3000ms)) && *frame != kGoodbye) {
        last = *frame;
    }
    const auto took =
        std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(frame, kGoodbye) << "after " << last;
    EXPECT_TRUE(process_->OutputEnds(3000ms)) << "frames after the goodbye";
    EXPECT_EQ(process_->WaitForExit(5000ms), 0);
    return took;
}

}  // namespace testsupport
