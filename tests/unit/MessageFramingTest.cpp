#include "host/MessageFraming.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A byte source over a fixed input, reporting -1 after its end.
ByteSource Over(const std::string& input, size_t* consumed = nullptr) {
    auto position = std::make_shared<size_t>(0);
    return [input, position, consumed]() {
        const int c = *position < input.size() ? static_cast<uint8_t>(input[*position]) : -1;
        ++*position;
        if (consumed != nullptr) {
            *consumed = *position;
        }
        return c;
    };
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

TEST(MessageFraming, ReadsBodiesOfTheAcceptedLengths) {
    const std::string open = "{\"command\":\"OPEN\"}";
    EXPECT_EQ(ReadBrowserMessage(Over(Bytes({0x12, 0, 0, 0}) + open)), open);
    EXPECT_EQ(ReadBrowserMessage(Over(Bytes({1, 0, 0, 0}) + "x")), "x");
    const std::string twenty(20, 'a');
    EXPECT_EQ(ReadBrowserMessage(Over(Bytes({20, 0, 0, 0}) + twenty + "tail")), twenty);
}

TEST(MessageFraming, RejectsZeroOverlongAndBigEndianLengthsWithoutReadingABody) {
    size_t consumed = 0;
    EXPECT_FALSE(ReadBrowserMessage(Over(Bytes({21, 0, 0, 0}) + std::string(21, 'a'), &consumed)));
    EXPECT_EQ(consumed, 4u);
    EXPECT_FALSE(ReadBrowserMessage(Over(Bytes({0, 0, 0, 0}) + "abc", &consumed)));
    EXPECT_EQ(consumed, 4u);
    EXPECT_FALSE(ReadBrowserMessage(Over(Bytes({0, 0, 0, 0x12}) + std::string(18, 'a'))));
}

TEST(MessageFraming, EndOfInputInsideTheHeaderIsARejection) {
    EXPECT_FALSE(ReadBrowserMessage(Over("")));
    EXPECT_FALSE(ReadBrowserMessage(Over(Bytes({5}))));
    EXPECT_FALSE(ReadBrowserMessage(Over(Bytes({5, 0, 0}))));
}

TEST(MessageFraming, EndOfInputInsideTheBodyFillsItWithFF) {
    auto source = Over(Bytes({5, 0, 0, 0}) + "ab");
    EXPECT_EQ(ReadBrowserMessage(source), "ab" + Bytes({0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(ReadBrowserMessage(source));
}

TEST(MessageFraming, GoodbyeFrameIsItsLengthThenItsText) {
    const std::string goodbye = "{\"text\":\"EXITING...\"}";
    EXPECT_EQ(FrameMessage(goodbye), Bytes({0x15, 0, 0, 0}) + goodbye);
    EXPECT_EQ(FrameMessage(std::string(0x1234, 'x')).substr(0, 4), Bytes({0x34, 0x12, 0, 0}));
}

}  // namespace
