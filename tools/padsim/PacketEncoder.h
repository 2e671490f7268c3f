#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "padsim/PadPoint.h"

namespace padsim {

using Bytes = std::vector<uint8_t>;
using StreamPacket = std::array<uint8_t, 5>;
using UsbPipePacket = std::array<uint8_t, 4>;
using PointRecordBytes = std::array<uint8_t, 12>;

inline constexpr uint32_t kMaxSerialNumber = 0x3FFFF;  // 18 bits
inline constexpr uint32_t kMaxModelNumber = 0x3F;      // 6 bits

// The pad's 5-byte packet for a pen point (kind 0): a first byte with the sync bit and the
// touch bit, then X and Y each as its low 7 bits followed by its high 5 bits.
StreamPacket EncodePenPacket(const PadPoint& point);

// The pad's answer to the request byte 0x00: a kind-2 packet (first byte 0x88) whose X is the
// model number shifted left by 6 plus the serial number's top 6 bits, and whose Y is the serial
// number's low 12 bits.
StreamPacket EncodeNumbersAnswer(uint32_t serialNumber, uint32_t modelNumber);

// The legacy USB pipe's 4-byte pen packet: status (0x08 touch), X bits 11..4, X bits 3..0 with
// Y bits 11..8, Y bits 7..0.
UsbPipePacket EncodeUsbPipePacket(const PadPoint& point);

// A finished point in the point-queue word layout, least significant byte first: status byte
// (0x08 while touching), X bits 11..4, X bits 3..0 with Y bits 11..8, Y bits 7..0.
uint32_t PackPenData(const PadPoint& point);

// The pad server's 12-byte point record: type 0, an unused word, the penData word.
PointRecordBytes EncodePointRecord(uint32_t penData);

// The bridge's first message: type 2, four unread bytes, the identity text with its NUL.
Bytes EncodeHello(std::string_view identity);

void AppendLe32(Bytes& out, uint32_t value);
uint32_t ReadLe32(const uint8_t* bytes);

}  // namespace padsim
