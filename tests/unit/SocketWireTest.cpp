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

TEST(SocketWire, PointRecordsAreTakenWholeAndTheRestIsLeft) {
    Bytes stream = {0, 0, 0, 0, 1, 1, 1, 1, 0x78, 0x56, 0x34, 0x12,  // pen point
                    1, 0, 0, 0, 2, 2, 2, 2, 0xFF, 0xFF, 0xFF, 0xFF,  // skipped type
                    0, 0, 0, 0, 3, 3, 3, 3, 0x01, 0x02, 0x03, 0x04,  // pen point
                    0, 0, 0, 0, 4, 4, 4};                            // cut
    std::vector<uint32_t> points;
    const int32_t taken = TakePointRecords(stream.data(), static_cast<int32_t>(stream.size()),
                                           [&](uint32_t penData) { points.push_back(penData); });
    EXPECT_EQ(taken, 36);
    EXPECT_EQ(points, (std::vector<uint32_t>{0x12345678, 0x04030201}));
    EXPECT_EQ(TakePointRecords(stream.data(), 11, [&](uint32_t) { FAIL(); }), 0);
}

TEST(SocketWire, DataFrameCarriesTypeLengthAndPayload) {
    const uint8_t payload[3] = {0xAA, 0x00, 0x55};
    uint8_t frame[11] = {};
    EXPECT_EQ(BuildDataFrame(payload, 3, frame), 11);
    EXPECT_EQ(Bytes(frame, frame + 11), (Bytes{1, 0, 0, 0, 3, 0, 0, 0, 0xAA, 0x00, 0x55}));
    EXPECT_EQ(BuildDataFrame(nullptr, 0, frame), 8);
}

}  // namespace
