#pragma once

#include <cstdint>

// One 4-byte packet of the legacy USB pipe driver. A pen packet (byte 0 AND 0x60 is 0) carries
// the touch (0x08) and switch (0x04) bits and 12-bit X and Y; any other packet a kind (byte 0
// bits 7..5) and three data bytes.
struct UsbPipePacket {
    bool isPen = false;
    // Pen packets: pad coordinates, and a status byte in the layout of the pad's byte stream
    // (touch bit 0x01, switch bit 0x40), ready for Tablet::PackPoint.
    int32_t x = 0;
    int32_t y = 0;
    uint8_t status = 0;
    // Other packets.
    int kind = 0;
    uint8_t data[3] = {};
};

UsbPipePacket ParseUsbPipePacket(const uint8_t (&bytes)[4]);

// Whether a read delivered a packet: it succeeded with bytes, or it succeeded reporting no bytes
// while the buffer (cleared before the read) was filled all the same.
bool IsDeliveredUsbPipePacket(bool readSucceeded, int32_t count, const uint8_t (&bytes)[4]);
