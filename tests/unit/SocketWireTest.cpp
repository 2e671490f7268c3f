#include "transports/SocketWire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
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

Bytes PenRecord(uint32_t penData) {
    Bytes record(kPointRecordSize, 0x5A);
    for (int i = 0; i < 4; ++i) {
        record[i] = 0;
        record[8 + i] = static_cast<uint8_t>(penData >> (8 * i));
    }
    return record;
}

TEST(SocketWire, CarriedRecordsComeOutOnceAndWholeWhereverAReceiveEnds) {
    Bytes stream = PenRecord(0x11223344);
    Bytes other = PenRecord(0x01020304);
    other[0] = 7;  // a record of another type is walked past
    stream.insert(stream.end(), other.begin(), other.end());
    const Bytes last = PenRecord(0xA0B0C0D0);
    stream.insert(stream.end(), last.begin(), last.end());

    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        Bytes buffer(kRecordCarryCapacity);
        std::vector<uint32_t> points;
        const auto collect = [&points](uint32_t penData) { points.push_back(penData); };
        std::copy(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut),
                  buffer.begin());
        int32_t held = CarryPointRecords(buffer.data(), static_cast<int32_t>(cut), collect);
        ASSERT_LT(held, kPointRecordSize) << cut;
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end(),
                  buffer.begin() + held);
        held = CarryPointRecords(buffer.data(), held + static_cast<int32_t>(stream.size() - cut),
                                 collect);
        EXPECT_EQ(held, 0) << cut;
        EXPECT_EQ(points, (std::vector<uint32_t>{0x11223344, 0xA0B0C0D0})) << cut;
    }
}

}  // namespace
