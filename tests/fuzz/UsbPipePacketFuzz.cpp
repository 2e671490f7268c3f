// The legacy USB pipe's 4-byte packets: a pen packet's X and Y fit 12 bits and travel through
// a queued point unchanged with their touch and switch bits; any other packet keeps its kind
// and data bytes.
#include <cstring>

#include "FuzzInput.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"
#include "transports/UsbPipePacket.h"

namespace {

void CheckPen(const uint8_t (&bytes)[4], const UsbPipePacket& packet) {
    Require(packet.x >= 0 && packet.x <= 0xFFF && packet.y >= 0 && packet.y <= 0xFFF,
            "pen coordinates fit 12 bits");
    Require(((packet.status & 0x01) != 0) == ((bytes[0] & 0x08) != 0), "the touch bit");
    Require(((packet.status & 0x40) != 0) == ((bytes[0] & 0x04) != 0), "the switch bit");
    Require((packet.status & ~0x41) == 0, "no other status bits");
    const uint8_t again[3] = {static_cast<uint8_t>(packet.x >> 4),
                              static_cast<uint8_t>((packet.x & 0x0F) << 4 | packet.y >> 8),
                              static_cast<uint8_t>(packet.y)};
    Require(std::memcmp(again, bytes + 1, 3) == 0, "X and Y are the packet's 24 bits");
    const uint32_t penData = Tablet::PackPoint(packet.status, packet.x, packet.y);
    Require(PenX(penData) == packet.x && PenY(penData) == packet.y,
            "a queued point carries X and Y unchanged");
    Require((PenStatus(penData) >> 5) == 0, "a queued pen point has the pen kind");
    Require(((PenStatus(penData) & 0x08) != 0) == ((packet.status & 0x01) != 0),
            "a queued point keeps the touch bit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    while (input.Left() > 0) {
        uint8_t bytes[4] = {};
        const std::string_view taken = input.Take(sizeof bytes);
        std::memcpy(bytes, taken.data(), taken.size());
        const UsbPipePacket packet = ParseUsbPipePacket(bytes);
        Require(packet.isPen == ((bytes[0] & 0x60) == 0), "pen packets have bits 6 and 5 clear");
        if (packet.isPen) {
            CheckPen(bytes, packet);
        } else {
            Require(packet.kind == bytes[0] >> 5 && packet.kind != 0, "the packet's kind");
            Require(std::memcmp(packet.data, bytes + 1, 3) == 0, "the data bytes");
        }
        Require(!IsDeliveredUsbPipePacket(false, 4, bytes), "a failed read delivers nothing");
        Require(IsDeliveredUsbPipePacket(true, 4, bytes), "a read with bytes delivers them");
    }
    return 0;
}
