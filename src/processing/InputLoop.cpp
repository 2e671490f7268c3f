#include <chrono>
#include <thread>

#include "platform/Clock.h"
#include "tablet/Tablet.h"

namespace {

constexpr uint32_t kGapMs = 20;  // silence after which a held sync byte is a lone byte

enum PacketState : int32_t { kIdle = 0, kSyncHeld = 1, kCollecting = 2 };

}  // namespace

// Frames the byte stream in the ring into 5-byte packets: a sync byte (bit 7 set), then four
// data bytes. Lone bytes go to byteQueue. Runs until stopInput is set.
void Tablet::ProcessSerialInput(ProcessSerialData& controller) {
    uint8_t heldByte = 0;
    uint8_t packetBytes[5] = {};
    int32_t packetIndex = 0;

    packetState = kIdle;
    inputRunning = true;
    while (!stopInput) {
        controller.SyncSerialInput();
        if (inputRing->GetCount() <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const uint32_t waitStart = platform::TimeGetTime();
            const int32_t waiting = inputRing->WaitForData();
            if (platform::TimeGetTime() - waitStart > kGapMs) {
                if (packetState == kSyncHeld) {
                    byteQueue->PushItem(MakeByteItem(heldByte));
                    packetState = kIdle;
                }
                continue;  // a byte that ended the wait is taken on the next pass
            }
            if (waiting == 0) {
                continue;
            }
        }
        const uint8_t byte = inputRing->GetByte();
        switch (packetState) {
            case kIdle:
                if (IsSyncByte(byte) && !serialResetState) {
                    heldByte = byte;
                    packetState = kSyncHeld;
                } else {
                    byteQueue->PushItem(MakeByteItem(byte));
                    controller.EndSerialReset();
                }
                break;
            case kSyncHeld:
                if (IsSyncByte(byte)) {
                    byteQueue->PushItem(MakeByteItem(heldByte));
                    packetBytes[0] = byte;
                    packetIndex = 1;
                } else {
                    packetBytes[0] = heldByte;
                    packetBytes[1] = byte;
                    packetIndex = 2;
                }
                packetState = kCollecting;
                break;
            default:
                if (packetIndex >= 5 || packetIndex < 0) {
                    packetState = kIdle;
                    break;
                }
                packetBytes[packetIndex++] = byte;
                if (packetIndex == 5) {
                    packetState = kIdle;
                    DecodePacket(packetBytes);
                }
                break;
        }
    }
    inputRunning = false;
}
