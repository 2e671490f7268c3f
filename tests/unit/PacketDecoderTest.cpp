#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "LogLines.h"
#include "TemporaryRoot.h"
#include "processing/PacketDecoder.h"
#include "tablet/Tablet.h"

namespace {

using testsupport::ScopedInkoraRoot;

// A Tablet with the default settings (no settings file).
class PacketDecoder : public ::testing::Test {
protected:
    ScopedInkoraRoot root;
    std::unique_ptr<Tablet> tablet = std::make_unique<Tablet>();

    std::pair<int32_t, int32_t> Convert(int32_t x, int32_t y) {
        tablet->ConvertTabletPoint(x, y);
        return {x, y};
    }
    PointRecord PopOnlyPoint() {
        EXPECT_EQ(tablet->pointQueue->GetPointCount(), 1);
        PointRecord record;
        tablet->pointQueue->PopPoint(record);
        return record;
    }
};

uint32_t Bytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    return b0 | b1 << 8 | b2 << 16 | static_cast<uint32_t>(b3) << 24;
}

TEST_F(PacketDecoder, PenPacketBecomesALogicalPoint) {
    tablet->DecodePacket({0x81, 0x27, 0x0C, 0x49, 0x09});
    const PointRecord record = PopOnlyPoint();
    EXPECT_EQ(record.penData, Bytes(0x08, 0x43, 0x32, 0xBC));
    EXPECT_EQ(PenX(record.penData), 1075);
    EXPECT_EQ(PenY(record.penData), 700);
    EXPECT_EQ(record.auxValue, 0);
}

TEST_F(PacketDecoder, RotationsTurnThePoint) {
    EXPECT_EQ(Convert(1024, 768), std::make_pair(524, 334));
    tablet->settings.TabletRotation = 90;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(1636, 341));
    tablet->settings.TabletRotation = 180;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(1626, 1065));
    tablet->settings.TabletRotation = 270;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(513, 1058));
    tablet->settings.TabletRotation = 45;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(524, 334));
}

TEST_F(PacketDecoder, TruncatesTowardZeroThenClamps) {
    EXPECT_EQ(Convert(501, 351), std::make_pair(1, 0));
    EXPECT_EQ(Convert(499, 351).first, 0);
    EXPECT_EQ(Convert(100, 100), std::make_pair(0, 0));
    EXPECT_EQ(Convert(4000, 4000), std::make_pair(2150, 1400));
}

TEST_F(PacketDecoder, ZeroExtentWindowMapsThatAxisToZero) {
    tablet->settings.TabletXStop = tablet->settings.TabletXStart;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(0, 334));
    tablet->settings.TabletYStop = tablet->settings.TabletYStart;
    tablet->settings.TabletRotation = 90;
    EXPECT_EQ(Convert(1024, 768), std::make_pair(0, 0));
}

// X and Y have 12 bits in penData: a larger size must not wrap the right edge to the left.
TEST_F(PacketDecoder, LogicalSizesOutsideTwelveBitsNeverWrapAPoint) {
    tablet->settings.TabletLogicalXSize = 5000;
    tablet->settings.TabletLogicalYSize = -300;
    tablet->DecodePacket({0x81, 0x7F, 0x1F, 0x7F, 0x1F});  // pad X and Y 4095
    const PointRecord point = PopOnlyPoint();
    EXPECT_EQ(PenX(point.penData), 4095);
    EXPECT_EQ(PenY(point.penData), 0);
}

TEST(PackPoint, MapsThePacketStatusBits) {
    const std::pair<uint8_t, uint8_t> cases[] = {{0x80, 0x00}, {0x81, 0x08}, {0x82, 0x02},
                                                 {0xC0, 0x04}, {0x84, 0x10}, {0x90, 0x00},
                                                 {0xC7, 0x1E}, {0x8C, 0x70}};
    for (const auto& [packetStatus, pointStatus] : cases) {
        EXPECT_EQ(Tablet::PackPoint(packetStatus, 0, 0), pointStatus) << int{packetStatus};
    }
    EXPECT_EQ(Tablet::MakeByteItem(0x5A), Bytes(0x03, 0x01, 0x11, 0x5A));
}

TEST_F(PacketDecoder, AuxiliaryPacketSetsTheValueCarriedByLaterPoints) {
    tablet->DecodePacket({0x9C, 0x05, 0x03, 0x7F, 0x07});
    EXPECT_EQ(tablet->auxValue, 1023);
    EXPECT_EQ(tablet->pointQueue->GetPointCount(), 0);
    tablet->DecodePacket({0x81, 0x27, 0x0C, 0x49, 0x09});
    EXPECT_EQ(PopOnlyPoint().auxValue, 1023);
}

TEST_F(PacketDecoder, NumbersPacketSetsSerialAndModelAndLogs) {
    root.WriteSettings("[Tablet]\nEnableLogging=1\n");
    tablet.reset();  // the log is process-wide: destroying a Tablet closes it
    tablet = std::make_unique<Tablet>();
    tablet->DecodePacket({0x88, 0x5E, 0x02, 0x40, 0x04});
    EXPECT_EQ(tablet->serialNumber, 123456);
    EXPECT_EQ(tablet->modelNumber, 5);
    const std::string log = root.ReadFile(root.TempPath("tessel.log"));
    const std::vector<std::string> messages = testsupport::LogMessages(log);
    const auto line = [&](const std::string& message) {
        return std::find(messages.begin(), messages.end(), message) - messages.begin();
    };
    const auto status = line("NPD: Status Byte = 02, DataBytes = 15 e2 40");
    const auto numbers = line("Sn = 123456, Mn = 5");
    const auto done = line("NPD: Got SerialNumber Data");
    EXPECT_LT(status, numbers) << log;
    EXPECT_LT(numbers, done);
    EXPECT_LT(done, std::ssize(messages));
}

TEST_F(PacketDecoder, StatusAnswerGoesToTheAnswerQueue) {
    tablet->DecodePacket({0x8C, 0x00, 0x00, 0x5A, 0x00});
    ASSERT_EQ(tablet->answerQueue->GetPointCount(), 1);
    PointRecord record;
    tablet->answerQueue->PopPoint(record);
    EXPECT_EQ(record.penData, Bytes(0x03, 0x01, 0x11, 0x5A));
    EXPECT_EQ(tablet->pointQueue->GetPointCount(), 0);
}

TEST_F(PacketDecoder, PacketsBreakingTheDataPatternAreDropped) {
    tablet->DecodePacket({0x81, 0x27, 0x20, 0x49, 0x09});
    tablet->DecodePacket({0x81, 0xA7, 0x0C, 0x49, 0x09});
    tablet->DecodePacket({0x81, 0x27, 0x0C, 0xC9, 0x09});
    tablet->DecodePacket({0x81, 0x27, 0x0C, 0x49, 0x29});
    tablet->DecodePacket({0x88, 0x5E, 0x82, 0x40, 0x04});
    EXPECT_EQ(tablet->pointQueue->GetPointCount(), 0);
    EXPECT_EQ(tablet->serialNumber, 0);
}

}  // namespace
