#include "host/MessageFraming.h"

#include <cstdio>
#include <mutex>

#include "platform/StandardOutput.h"

std::optional<std::string> ReadBrowserMessage(const ByteSource& next) {
    uint32_t length = 0;
    for (int position = 0; position < 4; ++position) {
        // -1 sets every bit from its position upward, so the end of input reads as too long.
        length |= static_cast<uint32_t>(next()) << (8 * position);
    }
    if (length == 0 || length > MaxInputLength) {
        return std::nullopt;
    }
    std::string body;
    body.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        body.push_back(static_cast<char>(next() & 0xFF));
    }
    return body;
}

std::optional<std::string> ReadBrowserMessage() {
    return ReadBrowserMessage([] { return std::getchar(); });
}

std::string FrameMessage(std::string_view text) {
    const auto n = static_cast<uint32_t>(text.size());
    std::string frame;
    frame.reserve(4 + text.size());
    for (int position = 0; position < 4; ++position) {
        frame.push_back(static_cast<char>((n >> (8 * position)) & 0xFF));
    }
    frame.append(text);
    return frame;
}

namespace {

std::mutex outputLock;

}  // namespace

void SendToBrowser(std::string text) {
    SendFramesToBrowser(FrameMessage(text));
}

void SendFramesToBrowser(std::string_view frames) {
    std::lock_guard<std::mutex> hold(outputLock);
    platform::WriteToStandardOutput(frames);
}
