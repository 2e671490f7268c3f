#include "transports/UsbPipePacket.h"

#include "tablet/Tablet.h"

UsbPipePacket ParseUsbPipePacket(const uint8_t (&bytes)[4]) {
    UsbPipePacket packet;
    if ((bytes[0] & 0x60) != 0) {
        packet.kind = (bytes[0] >> 5) & 7;
        packet.data[0] = bytes[1];
        packet.data[1] = bytes[2];
        packet.data[2] = bytes[3];
        return packet;
    }
    packet.isPen = true;
    packet.x = bytes[1] * 16 + (bytes[2] >> 4);
    packet.y = (bytes[2] & 0x0F) * 256 + bytes[3];
    if ((bytes[0] & 0x08) != 0) {
        Tablet::SetTouchBit(packet.status);
    }
    if ((bytes[0] & 0x04) != 0) {
        Tablet::SetSwitchBit(packet.status);
    }
    return packet;
}

bool IsDeliveredUsbPipePacket(bool readSucceeded, int32_t count, const uint8_t (&bytes)[4]) {
    if (!readSucceeded) {
        return false;
    }
    return count > 0 || (bytes[0] | bytes[1] | bytes[2] | bytes[3]) != 0;
}
