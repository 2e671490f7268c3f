#include "processing/PacketDecoder.h"

#include <algorithm>

#include "platform/Clock.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/Tablet.h"

namespace {

constexpr int kAuxiliaryKind = 7;
constexpr int kNumbersKind = 2;
constexpr int kStatusAnswerKind = 3;
// The kind code a status byte carries for each packet kind: 0 for every pen point.
constexpr uint8_t kKindCodes[8] = {0, 0, 2, 3, 0, 5, 6, 7};

bool IsPenKind(int kind) {
    return kind == 0 || kind == 1 || kind == 4;
}

int32_t Scale(int32_t offset, int32_t logicalSize, int32_t extent) {
    if (extent == 0) {
        return 0;
    }
    return offset * logicalSize / extent;
}

// Holds a value within 0..logical size, and within what penData can carry, so that no point
// wraps to the other edge whatever the size.
int32_t Clamp(int32_t value, int32_t logicalSize) {
    return std::clamp(value, 0, std::clamp(logicalSize, 0, kLargestPenCoordinate));
}

}  // namespace

void ConvertPoint(const TabletSettings& settings, int32_t& x, int32_t& y) {
    const int32_t xs = settings.TabletXStart;
    const int32_t ys = settings.TabletYStart;
    const int32_t xe = settings.TabletXStop;
    const int32_t ye = settings.TabletYStop;
    const int32_t lx = settings.TabletLogicalXSize;
    const int32_t ly = settings.TabletLogicalYSize;
    int32_t newX;
    int32_t newY;
    switch (settings.TabletRotation) {
        case 90:
            newX = Scale(y - ye, lx, ys - ye);
            newY = Scale(x - xs, ly, xe - xs);
            break;
        case 180:
            newX = Scale(x - xe, lx, xs - xe);
            newY = Scale(y - ye, ly, ys - ye);
            break;
        case 270:
            newX = Scale(y - ys, lx, ye - ys);
            newY = Scale(x - xe, ly, xs - xe);
            break;
        default:
            newX = Scale(x - xs, lx, xe - xs);
            newY = Scale(y - ys, ly, ye - ys);
            break;
    }
    x = Clamp(newX, lx);
    y = Clamp(newY, ly);
}

int32_t Tablet::DecodeCoordinate(uint8_t low, uint8_t high) {
    return (high & 0x1F) * 128 + (low & 0x7F);
}

int32_t Tablet::DecodeAuxValue(uint8_t low, uint8_t high) {
    return (high & 0x07) * 128 + (low & 0x7F);
}

bool Tablet::IsBadPacket(const uint8_t (&packet)[5]) {
    return (packet[1] & 0x80) != 0 || packet[2] > 31 || (packet[3] & 0x80) != 0 || packet[4] > 31;
}

uint32_t Tablet::PackPoint(uint8_t s, int32_t x, int32_t y) {
    const uint32_t status = kKindCodes[(s >> 2) & 7] * 32u + ((s >> 2) & 1u) * 16u + (s & 1u) * 8u +
                            ((s >> 6) & 1u) * 4u + ((s >> 1) & 1u) * 2u;
    const uint32_t byte1 = (static_cast<uint32_t>(x) >> 4) & 0xFF;
    const uint32_t byte2 =
        (static_cast<uint32_t>(x) & 0x0F) * 16u + ((static_cast<uint32_t>(y) >> 8) & 0x0F);
    const uint32_t byte3 = static_cast<uint32_t>(y) & 0xFF;
    return status | byte1 << 8 | byte2 << 16 | byte3 << 24;
}

uint32_t Tablet::MakeByteItem(uint8_t byte) {
    return 0x03u | 0x01u << 8 | 0x11u << 16 | static_cast<uint32_t>(byte) << 24;
}

void Tablet::ConvertTabletPoint(int32_t& x, int32_t& y) const {
    ConvertPoint(settings, x, y);
}

void Tablet::DecodePacket(const uint8_t (&packet)[5]) {
    DecodePacketAt(packet, platform::TimeGetTime());
}

void Tablet::DecodePacketAt(const uint8_t (&packet)[5], uint32_t now) {
    int32_t x = DecodeCoordinate(packet[1], packet[2]);
    int32_t y = DecodeCoordinate(packet[3], packet[4]);
    if (IsBadPacket(packet)) {
        return;
    }
    const int kind = (packet[0] >> 2) & 7;
    if (IsPenKind(kind)) {
        ConvertTabletPoint(x, y);
        pointQueue->PushPoint(PackPoint(packet[0], x, y), now, auxValue);
    } else if (kind == kAuxiliaryKind) {
        auxValue = DecodeAuxValue(packet[3], packet[4]);
    } else {
        UnpackNonPenPacket(packet[0], x, y);
    }
}

void Tablet::UnpackNonPenPacket(uint8_t firstByte, int32_t x, int32_t y) {
    const uint8_t data[3] = {
        static_cast<uint8_t>(x >> 4),
        static_cast<uint8_t>((x & 0x0F) << 4 | (y >> 8 & 0x0F)),
        static_cast<uint8_t>(y & 0xFF),
    };
    ProcessNonPenData((firstByte >> 2) & 7, data);
}

void Tablet::ProcessNonPenData(int kind, const uint8_t* data) {
    WriteLogFormat("NPD: Status Byte = %02x, DataBytes = %02x %02x %02x", kind, data[0], data[1],
                   data[2]);
    if (kind == kNumbersKind) {
        modelNumber = data[0] >> 2;
        serialNumber = (data[0] & 3) * 65536 + data[1] * 256 + data[2];
        WriteLogFormat("Sn = %ld, Mn = %ld", static_cast<long>(serialNumber.load()),
                       static_cast<long>(modelNumber.load()));
        WriteLogLine("NPD: Got SerialNumber Data");
        numbersArrival.Note();
    } else if (kind == kStatusAnswerKind) {
        answerQueue->PushItem(MakeByteItem(data[2]));
        WriteLogLine("NPD: Got Status Cmd data");
    } else {
        WriteLogLine("NPD: Got unidentified data");
    }
}
