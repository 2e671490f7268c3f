#include "host/FrameBatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/MessageFraming.h"

namespace {

// Cuts the frames out of a batch's bytes again.
std::vector<std::string> FramesIn(std::string_view bytes) {
    std::vector<std::string> texts;
    while (bytes.size() >= 4) {
        const size_t n = static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8 |
                         static_cast<uint8_t>(bytes[2]) << 16 |
                         static_cast<size_t>(static_cast<uint8_t>(bytes[3])) << 24;
        texts.emplace_back(bytes.substr(4, n));
        bytes.remove_prefix(4 + n);
    }
    return texts;
}

TEST(FrameBatch, FillsToItsCapacityWithWholeFramesInOrder) {
    FrameBatch batch;
    std::vector<std::string> appended;
    for (int i = 0; batch.HasRoom(); ++i) {
        std::string text =
            "{\"command\":\"POINT\",\"X\":" + std::to_string(i) + ",\"Y\":4095,\"P\":1}";
        text.resize(i % 2 == 0 ? text.size() : FrameBatch::kLongestMessage, ' ');
        batch.Append(text);
        appended.push_back(text);
    }
    EXPECT_LE(batch.Bytes().size(), FrameBatch::kCapacity);
    EXPECT_GT(batch.Bytes().size() + 4 + FrameBatch::kLongestMessage, FrameBatch::kCapacity);
    EXPECT_EQ(FramesIn(batch.Bytes()), appended);
    EXPECT_EQ(batch.Bytes().substr(0, 4 + appended[0].size()), FrameMessage(appended[0]));
    EXPECT_LE(FrameBatch::kCapacity, kOutputBufferSize) << "a batch must leave in one write";

    batch.Clear();
    EXPECT_TRUE(batch.Empty());
    EXPECT_TRUE(batch.HasRoom());
}

}  // namespace
