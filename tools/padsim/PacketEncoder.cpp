#include "padsim/PacketEncoder.h"

#include <algorithm>

namespace padsim {
namespace {

constexpr uint8_t kSyncBit = 0x80;
constexpr uint8_t kPacketTouchBit = 0x01;
constexpr uint8_t kNumbersAnswerFirstByte = 0x88;  // sync bit, kind 2
constexpr uint8_t kQueueTouchBit = 0x08;

uint32_t Coordinate(int32_t value) {
    return static_cast<uint32_t>(value) & 0xFFF;
}

uint8_t LowSeven(uint32_t coordinate) {
    return static_cast<uint8_t>(coordinate & 0x7F);
}

uint8_t HighFive(uint32_t coordinate) {
    return static_cast<uint8_t>((coordinate >> 7) & 0x1F);
}

StreamPacket StreamPacketOf(uint8_t firstByte, uint32_t x, uint32_t y) {
    return {firstByte, LowSeven(x), HighFive(x), LowSeven(y), HighFive(y)};
}

// The three data bytes shared by the USB pipe packet and the penData word.
std::array<uint8_t, 3> CoordinateBytes(const PadPoint& point) {
    const uint32_t x = Coordinate(point.x);
    const uint32_t y = Coordinate(point.y);
    return {static_cast<uint8_t>(x >> 4), static_cast<uint8_t>((x & 0x0F) << 4 | (y >> 8)),
            static_cast<uint8_t>(y & 0xFF)};
}

}  // namespace

StreamPacket EncodePenPacket(const PadPoint& point) {
    const uint8_t firstByte = kSyncBit | (point.touch ? kPacketTouchBit : 0);
    return StreamPacketOf(firstByte, Coordinate(point.x), Coordinate(point.y));
}

StreamPacket EncodeNumbersAnswer(uint32_t serialNumber, uint32_t modelNumber) {
    const uint32_t serial = serialNumber & kMaxSerialNumber;
    const uint32_t x = (modelNumber & kMaxModelNumber) << 6 | serial >> 12;
    const uint32_t y = serial & 0xFFF;
    return StreamPacketOf(kNumbersAnswerFirstByte, x, y);
}

UsbPipePacket EncodeUsbPipePacket(const PadPoint& point) {
    const auto data = CoordinateBytes(point);
    return {static_cast<uint8_t>(point.touch ? kQueueTouchBit : 0), data[0], data[1], data[2]};
}

uint32_t PackPenData(const PadPoint& point) {
    const auto data = CoordinateBytes(point);
    const uint32_t status = point.touch ? kQueueTouchBit : 0;
    return status | uint32_t{data[0]} << 8 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 24;
}

PointRecordBytes EncodePointRecord(uint32_t penData) {
    Bytes bytes;
    AppendLe32(bytes, 0);  // record type: pen point
    AppendLe32(bytes, 0);  // unused
    AppendLe32(bytes, penData);
    PointRecordBytes record{};
    std::copy(bytes.begin(), bytes.end(), record.begin());
    return record;
}

Bytes EncodeHello(std::string_view identity) {
    Bytes hello;
    AppendLe32(hello, 2);  // message type: hello
    AppendLe32(hello, 0);  // not read by the host
    hello.insert(hello.end(), identity.begin(), identity.end());
    hello.push_back(0);
    return hello;
}

void AppendLe32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

uint32_t ReadLe32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

}  // namespace padsim
