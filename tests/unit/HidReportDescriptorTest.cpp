#include "platform/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace {

using platform::HidCollectionLengths;
using platform::HidDescriptorLayout;
using platform::ParseHidReportDescriptor;
using Bytes = std::vector<uint8_t>;

HidDescriptorLayout Parse(const Bytes& descriptor) {
    return ParseHidReportDescriptor(descriptor.data(), descriptor.size());
}

// Vendor page FF00, usage 1, one application collection around the given items.
Bytes VendorCollection(const Bytes& items) {
    Bytes descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    for (const uint8_t item : items) {
        descriptor.push_back(item);
    }
    descriptor.push_back(0xC0);
    return descriptor;
}

TEST(HidReportDescriptor, UnnumberedReportsStillCountTheIdByte) {
    // 64 bytes in, 64 bytes out: what a pad with 65-byte reports declares.
    const HidDescriptorLayout layout =
        Parse(VendorCollection({0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                                0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02}));
    ASSERT_EQ(layout.collections.size(), 1u);
    const HidCollectionLengths& lengths = layout.collections[0];
    EXPECT_EQ(lengths.usagePage, 0xFF00);
    EXPECT_EQ(lengths.usage, 0x0001);
    EXPECT_EQ(lengths.inputReportLength, 65);
    EXPECT_EQ(lengths.outputReportLength, 65);
    EXPECT_EQ(lengths.featureReportLength, 0);
    EXPECT_FALSE(layout.numberedReports);
    EXPECT_TRUE(layout.wellFormed);
}

TEST(HidReportDescriptor, NumberedReportsTakeTheLargestReportOfEachKind) {
    const HidDescriptorLayout layout = Parse(VendorCollection({
        0x85, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02,  // id 1: 16 bits in
        0x85, 0x02, 0x75, 0x01, 0x95, 0x0C, 0x81, 0x02,  // id 2: 12 bits in
        0x85, 0x03, 0x95, 0x09, 0x91, 0x02,              // id 3: 9 bits out
        0x85, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02,  // id 1 again: 40 bits in all
    }));
    ASSERT_EQ(layout.collections.size(), 1u);
    EXPECT_EQ(layout.collections[0].inputReportLength, 6);
    EXPECT_EQ(layout.collections[0].outputReportLength, 3);  // 9 bits round up to 2 bytes
    EXPECT_TRUE(layout.numberedReports);
}

TEST(HidReportDescriptor, PopRestoresTheReportIdAndSizes) {
    const HidDescriptorLayout layout = Parse(VendorCollection({
        0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02,  // id 1: 32 bits
        0xA4, 0x85, 0x02, 0x95, 0x05, 0x81, 0x02, 0xB4,  // Push, id 2: 40 bits, Pop
        0x81, 0x02, 0x81, 0x02, 0x81, 0x02,              // id 1: 128 bits in all
    }));
    ASSERT_EQ(layout.collections.size(), 1u);
    EXPECT_EQ(layout.collections[0].inputReportLength, 17);
    EXPECT_TRUE(layout.wellFormed);
}

TEST(HidReportDescriptor, LongItemsAreSkippedWhole) {
    // The long item's data would read as two Input items if taken for short items.
    const HidDescriptorLayout layout = Parse(VendorCollection(
        {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xFE, 0x04, 0x10, 0x81, 0x02, 0x81, 0x02}));
    ASSERT_EQ(layout.collections.size(), 1u);
    EXPECT_EQ(layout.collections[0].inputReportLength, 3);
    EXPECT_TRUE(layout.wellFormed);
}

TEST(HidReportDescriptor, TruncatedItemKeepsWhatCameBefore) {
    const HidDescriptorLayout layout =
        Parse({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x27,
               0xFF, 0xFF});  // a four-byte item with two bytes left, collection never closed
    ASSERT_EQ(layout.collections.size(), 1u);
    EXPECT_EQ(layout.collections[0].inputReportLength, 4);
    EXPECT_FALSE(layout.wellFormed);
}

TEST(HidReportDescriptor, FirstInputCollectionSkipsCollectionsWithoutInput) {
    const HidDescriptorLayout layout = Parse({
        0x05,
        0x01,
        0x09,
        0x06,
        0xA1,
        0x01,
        0x75,
        0x08,
        0x95,
        0x02,
        0xB1,
        0x02,
        0xC0,
        // a four-byte usage names its page: 0x000D0001
        0x0B,
        0x01,
        0x00,
        0x0D,
        0x00,
        0xA1,
        0x01,
        0x95,
        0x07,
        0x81,
        0x02,
        0xC0,
    });
    ASSERT_EQ(layout.collections.size(), 2u);
    EXPECT_EQ(layout.collections[0].featureReportLength, 3);
    const HidCollectionLengths first = platform::FirstInputCollection(layout);
    EXPECT_EQ(first.usagePage, 0x000D);
    EXPECT_EQ(first.usage, 0x0001);
    EXPECT_EQ(first.inputReportLength, 8);
    EXPECT_EQ(platform::FirstInputCollection(Parse({})).inputReportLength, 0);
}

TEST(HidReportDescriptor, HostileInputIsBoundedAndNeverOverflows) {
    // (2^32 - 1) bits times 2^32 - 1 fields, then 2^33 bits more: a sum kept in 64 bits would
    // wrap around to 1 bit.
    const HidDescriptorLayout huge = Parse(
        VendorCollection({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02,
                          0x77, 0x00, 0x00, 0x02, 0x00, 0x97, 0x00, 0x00, 0x01, 0x00, 0x81, 0x02}));
    EXPECT_EQ(huge.collections.at(0).inputReportLength, std::numeric_limits<int32_t>::max());

    Bytes pushes(1000, 0xA4);
    pushes.insert(pushes.end(), 1001, 0xB4);
    pushes.insert(pushes.end(), {0xC0, 0x81, 0x02});  // End Collection and Input outside any
    const HidDescriptorLayout unbalanced = Parse(pushes);
    EXPECT_FALSE(unbalanced.wellFormed);
    EXPECT_TRUE(unbalanced.collections.empty());
    EXPECT_TRUE(ParseHidReportDescriptor(nullptr, 10).collections.empty());

    // Random bytes drawn mostly from real item prefixes: the parser must simply survive them.
    std::mt19937 random(20240607);
    const Bytes prefixes = {0x05, 0x06, 0x09, 0x0B, 0x75, 0x77, 0x85, 0x95, 0x97, 0x81,
                            0x91, 0xB1, 0xA1, 0xC0, 0xA4, 0xB4, 0xFE, 0x27, 0x03};
    for (int round = 0; round < 20000; ++round) {
        Bytes descriptor(random() % 48);
        for (uint8_t& byte : descriptor) {
            byte = random() % 2 ? prefixes[random() % prefixes.size()]
                                : static_cast<uint8_t>(random());
        }
        for (const HidCollectionLengths& lengths : Parse(descriptor).collections) {
            ASSERT_GE(lengths.inputReportLength, 0);
            ASSERT_GE(lengths.outputReportLength, 0);
            ASSERT_GE(lengths.featureReportLength, 0);
        }
    }
}

// Real descriptors, with the lengths Windows reports for the collection each line names.
TEST(HidReportDescriptor, MatchesWindowsOnRealDevices) {
    const std::filesystem::path directory = HID_DESCRIPTOR_DIR;
    std::ifstream expected(directory / "expected.tsv");
    ASSERT_TRUE(expected) << "no reference descriptors at " << directory;
    int checked = 0;
    for (std::string line; std::getline(expected, line);) {
        std::istringstream fields(line);
        std::string name;
        unsigned page = 0, usage = 0;
        int32_t input = 0, output = 0, feature = 0;
        if (!(fields >> name >> std::hex >> page >> usage >> std::dec >> input >> output >>
              feature)) {
            continue;
        }
        std::ifstream file(directory / (name + "_real.bin"), std::ios::binary);
        const Bytes descriptor((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        ASSERT_FALSE(descriptor.empty()) << name;
        const HidDescriptorLayout layout = Parse(descriptor);
        EXPECT_TRUE(layout.wellFormed) << name;
        const HidCollectionLengths* named = nullptr;
        for (const HidCollectionLengths& collection : layout.collections) {
            if (collection.usagePage == page && collection.usage == usage) {
                named = &collection;
            }
        }
        ASSERT_NE(named, nullptr) << name;
        EXPECT_EQ(named->inputReportLength, input) << name;
        EXPECT_EQ(named->outputReportLength, output) << name;
        EXPECT_EQ(named->featureReportLength, feature) << name;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
