#include "processing/PacketFraming.h"

#include "tablet/Tablet.h"

namespace {

enum PacketState : int32_t { kIdle = 0, kSyncHeld = 1, kCollecting = 2 };

// The framing state lives in the Tablet, where a reset may set it from another thread under the
// controller's lock; the framing reads and writes it without ordering anything else by it.
PacketState StateOf(const Tablet& tablet) {
    return static_cast<PacketState>(tablet.packetState.load(std::memory_order_relaxed));
}

void SetState(Tablet& tablet, PacketState state) {
    tablet.packetState.store(state, std::memory_order_relaxed);
}

}  // namespace

void PacketFraming::AfterSilence(Tablet& tablet, uint32_t silentMs) {
    if (silentMs > kGapMs && StateOf(tablet) == kSyncHeld) {
        tablet.byteQueue->PushItem(Tablet::MakeByteItem(heldByte));
        SetState(tablet, kIdle);
    }
}

void PacketFraming::TakeByte(Tablet& tablet, ProcessSerialData& controller, uint8_t byte,
                             uint32_t now) {
    switch (StateOf(tablet)) {
        case kIdle:
            if (Tablet::IsSyncByte(byte)) {
                // A sync byte always starts a packet: taken as a lone byte in the reset state,
                // the first packet after an open would be lost whenever the pad had not
                // answered the numbers query first. The reset state ends here all the same.
                if (tablet.serialResetState) {
                    controller.EndSerialReset();
                }
                heldByte = byte;
                SetState(tablet, kSyncHeld);
            } else {
                tablet.byteQueue->PushItem(Tablet::MakeByteItem(byte));
                controller.EndSerialReset();
            }
            break;
        case kSyncHeld:
            if (Tablet::IsSyncByte(byte)) {
                tablet.byteQueue->PushItem(Tablet::MakeByteItem(heldByte));
                packetBytes[0] = byte;
                packetIndex = 1;
            } else {
                packetBytes[0] = heldByte;
                packetBytes[1] = byte;
                packetIndex = 2;
            }
            SetState(tablet, kCollecting);
            break;
        default:
            if (packetIndex >= 5 || packetIndex < 0) {
                SetState(tablet, kIdle);
                break;
            }
            packetBytes[packetIndex++] = byte;
            if (packetIndex == 5) {
                SetState(tablet, kIdle);
                tablet.DecodePacketAt(packetBytes, now);
            }
            break;
    }
}
