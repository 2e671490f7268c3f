#include "transports/SocketWire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Message(const std::string& text) {
    const std::string message = std::string("\x02\0\0\0\x09\x09\x09\x09", 8) + text;
    return Bytes(message.begin(), message.end());
}

TEST(SocketWire, HelloMatchesOnlyAWholeTerminatedIdentity) {
    const Bytes exact = Message(std::string("pad-1\0", 6));
    EXPECT_TRUE(HelloMatches(exact.data(), static_cast<int32_t>(exact.size()), "pad-1"));
    // Every length that cuts the text or its terminator off is refused.
    for (int32_t length = 0; length < static_cast<int32_t>(exact.size()); ++length) {
        EXPECT_FALSE(HelloMatches(exact.data(), length, "pad-1")) << length;
    }
    const Bytes trailing = Message(std::string("pad-1\0\x81\x02", 8));
    EXPECT_TRUE(HelloMatches(trailing.data(), static_cast<int32_t>(trailing.size()), "pad-1"));
    EXPECT_FALSE(HelloMatches(exact.data(), static_cast<int32_t>(exact.size()), "pad-"));
    EXPECT_FALSE(HelloMatches(exact.data(), static_cast<int32_t>(exact.size()), "pad-12"));

    const Bytes empty = Message(std::string("\0", 1));
    EXPECT_TRUE(HelloMatches(empty.data(), static_cast<int32_t>(empty.size()), ""));
    EXPECT_FALSE(HelloMatches(exact.data(), static_cast<int32_t>(exact.size()), ""));

    Bytes wrongType = exact;
    wrongType[3] = 1;  // type 0x01000002
    EXPECT_FALSE(HelloMatches(wrongType.data(), static_cast<int32_t>(wrongType.size()), "pad-1"));
}

}  // namespace
