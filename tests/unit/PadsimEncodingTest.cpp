// padsim encodes with code of its own; these tests decode its output with the host's decoder,
// so that the simulator and the host cannot drift apart unnoticed.

#include <gtest/gtest.h>

#include "padsim/PacketEncoder.h"
#include "padsim/PadGeometry.h"
#include "processing/PacketDecoder.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"
#include "transports/UsbPipePacket.h"

namespace {

using padsim::PadPoint;

const uint8_t (&AsPacket(const padsim::StreamPacket& p))[5] {
    return *reinterpret_cast<const uint8_t(*)[5]>(p.data());
}

TEST(PadsimEncoding, EveryCoordinateSurvivesTheHostDecoder) {
    for (int32_t v = 0; v <= 4095; ++v) {
        const PadPoint point{v, 4095 - v, v % 2 == 0};
        const auto packet = padsim::EncodePenPacket(point);
        ASSERT_TRUE(Tablet::IsSyncByte(packet[0]));
        ASSERT_FALSE(Tablet::IsBadPacket(AsPacket(packet))) << v;
        for (int i = 1; i < 5; ++i) {
            ASSERT_FALSE(Tablet::IsSyncByte(packet[i])) << "data byte " << i << " of " << v;
        }
        ASSERT_EQ(Tablet::DecodeCoordinate(packet[1], packet[2]), point.x);
        ASSERT_EQ(Tablet::DecodeCoordinate(packet[3], packet[4]), point.y);
        ASSERT_EQ((packet[0] >> 2) & 7, 0) << "a pen packet is of kind 0";
    }
}

TEST(PadsimEncoding, PenPacketStatusMatchesThePointQueueWordOfAPadServer) {
    // The host packs a byte-stream point with PackPoint; a pad server sends the same word.
    for (const PadPoint point : {PadPoint{1075, 700, true}, PadPoint{0, 0, false},
                                 PadPoint{4095, 4095, true}, PadPoint{2748, 3567, false}}) {
        const auto packet = padsim::EncodePenPacket(point);
        const uint32_t hostWord = Tablet::PackPoint(packet[0], point.x, point.y);
        EXPECT_EQ(padsim::PackPenData(point), hostWord);
        EXPECT_EQ(PenX(hostWord), point.x);
        EXPECT_EQ(PenY(hostWord), point.y);
        EXPECT_EQ((PenStatus(hostWord) & 0x08) != 0, point.touch);
    }
}

TEST(PadsimEncoding, NumbersAnswerCarriesSerialAndModelNumber) {
    const auto answer = padsim::EncodeNumbersAnswer(123456, 5);
    EXPECT_EQ(answer, (padsim::StreamPacket{0x88, 0x5E, 0x02, 0x40, 0x04}));

    struct Case {
        uint32_t serial, model;
    };
    for (const Case c : {Case{0, 0}, Case{262143, 63}, Case{4096, 1}, Case{4095, 62}}) {
        const auto packet = padsim::EncodeNumbersAnswer(c.serial, c.model);
        ASSERT_FALSE(Tablet::IsBadPacket(AsPacket(packet)));
        EXPECT_EQ((packet[0] >> 2) & 7, 2);
        EXPECT_EQ(packet[0] & 0x01, 0) << "no touch bit";
        const int32_t x = Tablet::DecodeCoordinate(packet[1], packet[2]);
        const int32_t y = Tablet::DecodeCoordinate(packet[3], packet[4]);
        EXPECT_EQ(static_cast<uint32_t>(x >> 6), c.model);
        EXPECT_EQ(static_cast<uint32_t>((x & 0x3F) * 4096 + y), c.serial);
    }
}

TEST(PadsimEncoding, UsbPipePacketsParseAsTheHostReadsThem) {
    EXPECT_EQ(padsim::EncodeUsbPipePacket({0x123, 0x456, true}),
              (padsim::UsbPipePacket{0x08, 0x12, 0x34, 0x56}));
    for (const PadPoint point :
         {PadPoint{0xFFF, 0, false}, PadPoint{0, 0xFFF, true}, PadPoint{1575, 1225, true}}) {
        const auto bytes = padsim::EncodeUsbPipePacket(point);
        const uint8_t raw[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
        const UsbPipePacket parsed = ParseUsbPipePacket(raw);
        EXPECT_TRUE(parsed.isPen);
        EXPECT_EQ(parsed.x, point.x);
        EXPECT_EQ(parsed.y, point.y);
        EXPECT_EQ((Tablet::PackPoint(parsed.status, parsed.x, parsed.y) & 0x08) != 0, point.touch);
    }
}

TEST(PadsimEncoding, PointRecordIsTypeZeroThenUnusedThenPenDataLittleEndian) {
    const uint32_t penData = padsim::PackPenData({2748, 3567, true});
    EXPECT_EQ(penData, 0xEFCDAB08u);  // bytes 08 AB CD EF, as the point pump reads them
    EXPECT_EQ(padsim::EncodePointRecord(penData),
              (padsim::PointRecordBytes{0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0xAB, 0xCD, 0xEF}));
}

TEST(PadsimEncoding, PadServerMappingAgreesWithTheHostConversion) {
    TabletSettings settings;
    settings.TabletXStart = 500;
    settings.TabletYStart = 350;
    settings.TabletXStop = 2650;
    settings.TabletYStop = 2100;
    settings.TabletLogicalXSize = 2150;
    settings.TabletLogicalYSize = 1400;
    const padsim::PadWindow window;
    const padsim::LogicalSize size;
    for (int32_t x = 0; x <= 4095; x += 7) {
        const int32_t y = (x * 13) % 4096;
        int32_t hostX = x;
        int32_t hostY = y;
        ConvertPoint(settings, hostX, hostY);
        const PadPoint mapped = padsim::ToLogical({x, y, true}, window, size);
        ASSERT_EQ(mapped.x, hostX) << x << "," << y;
        ASSERT_EQ(mapped.y, hostY) << x << "," << y;
    }
}

TEST(PadsimEncoding, HelloHoldsTypeTwoAnUnreadWordAndTheTerminatedIdentity) {
    EXPECT_EQ(padsim::EncodeHello("pad-7"),
              (padsim::Bytes{2, 0, 0, 0, 0, 0, 0, 0, 'p', 'a', 'd', '-', '7', 0}));
    EXPECT_EQ(padsim::EncodeHello(""), (padsim::Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
