// The browser's stream as the command loop reads it: each frame is a command body, an ignored
// body or the end. The reader takes the 4-byte length and exactly the body it announces, and
// past the end of the stream nothing but the body it was already reading.
#include <optional>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "host/MessageFraming.h"

namespace {

constexpr std::string_view kOpenCommand = "{\"command\":\"OPEN\"}";
constexpr std::string_view kCloseCommand = "{\"command\":\"CLOSE\"}";

// What the frame at start holds, read independently of the reader: its body, or nothing for
// the end (a length cut off by the end, 0 or above the limit).
std::optional<std::string> ExpectedFrame(const uint8_t* data, size_t size, size_t start) {
    if (size - start < 4) {
        return std::nullopt;
    }
    const uint32_t length = data[start] | data[start + 1] << 8 | data[start + 2] << 16 |
                            static_cast<uint32_t>(data[start + 3]) << 24;
    if (length == 0 || length > MaxInputLength) {
        return std::nullopt;
    }
    std::string body;
    for (size_t i = start + 4; i < start + 4 + length; ++i) {
        body.push_back(static_cast<char>(i < size ? data[i] : 0xFF));
    }
    return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t position = 0;  // characters the reader has asked for, the ends of input included
    const ByteSource next = [&]() -> int {
        const size_t at = position++;
        return at < size ? data[at] : -1;
    };
    int commands = 0;
    for (;;) {
        const size_t start = position;
        const std::optional<std::string> body = ReadBrowserMessage(next);
        const std::optional<std::string> expected =
            start <= size ? ExpectedFrame(data, size, start) : std::nullopt;
        Require(body == expected, "the frame holds the body its length announces");
        if (!body) {
            Require(position == start + 4, "the end takes only the length field");
            break;
        }
        Require(!body->empty() && body->size() <= MaxInputLength, "a body of 1 to 20 bytes");
        Require(position == start + 4 + body->size(), "a frame takes its length and body alone");
        if (*body == kOpenCommand || *body == kCloseCommand) {
            ++commands;
        }
    }
    Require(position <= size + 4 + MaxInputLength, "no read far past the end of the stream");
    Require(static_cast<size_t>(commands) * (4 + kOpenCommand.size()) <= size,
            "every command came from the stream");
    return 0;
}
