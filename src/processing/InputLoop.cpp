#include "platform/Clock.h"
#include "tablet/Tablet.h"

namespace {

constexpr uint32_t kGapMs = 20;  // silence after which a held sync byte is a lone byte
// The most bytes one pass takes from the ring: a large socket or HID delivery, 204 packets.
constexpr int32_t kChunkSize = 1024;

enum PacketState : int32_t { kIdle = 0, kSyncHeld = 1, kCollecting = 2 };

// The framing state lives in the Tablet, where a reset may set it from another thread under the
// controller's lock; the loop reads and writes it without ordering anything else by it.
PacketState StateOf(const Tablet& tablet) {
    return static_cast<PacketState>(tablet.packetState.load(std::memory_order_relaxed));
}

void SetState(Tablet& tablet, PacketState state) {
    tablet.packetState.store(state, std::memory_order_relaxed);
}

// The loop's own framing state, beside the Tablet's packetState.
struct Framing {
    uint8_t heldByte = 0;
    uint8_t packetBytes[5] = {};
    int32_t packetIndex = 0;
};

// Blocks while the ring stays empty. A held sync byte followed by more than 20 ms of silence
// was a lone byte; a packet partly collected survives any silence.
void WaitForBytes(Tablet& tablet, const Framing& framing) {
    const uint32_t waitStart = platform::TimeGetTime();
    tablet.inputRing->WaitForData();
    if (platform::TimeGetTime() - waitStart > kGapMs && StateOf(tablet) == kSyncHeld) {
        tablet.byteQueue->PushItem(Tablet::MakeByteItem(framing.heldByte));
        SetState(tablet, kIdle);
    }
}

// Frames one byte; `now` is the clock reading that a completed packet's point carries.
void TakeByte(Tablet& tablet, ProcessSerialData& controller, Framing& framing, uint8_t byte,
              uint32_t now) {
    switch (StateOf(tablet)) {
        case kIdle:
            if (Tablet::IsSyncByte(byte) && !tablet.serialResetState) {
                framing.heldByte = byte;
                SetState(tablet, kSyncHeld);
            } else {
                tablet.byteQueue->PushItem(Tablet::MakeByteItem(byte));
                controller.EndSerialReset();
            }
            break;
        case kSyncHeld:
            if (Tablet::IsSyncByte(byte)) {
                tablet.byteQueue->PushItem(Tablet::MakeByteItem(framing.heldByte));
                framing.packetBytes[0] = byte;
                framing.packetIndex = 1;
            } else {
                framing.packetBytes[0] = framing.heldByte;
                framing.packetBytes[1] = byte;
                framing.packetIndex = 2;
            }
            SetState(tablet, kCollecting);
            break;
        default:
            if (framing.packetIndex >= 5 || framing.packetIndex < 0) {
                SetState(tablet, kIdle);
                break;
            }
            framing.packetBytes[framing.packetIndex++] = byte;
            if (framing.packetIndex == 5) {
                SetState(tablet, kIdle);
                tablet.DecodePacketAt(framing.packetBytes, now);
            }
            break;
    }
}

}  // namespace

// Frames the byte stream in the ring into 5-byte packets: a sync byte (bit 7 set), then four
// data bytes. Lone bytes go to byteQueue. Runs until stopInput is set. Each pass takes what the
// ring holds (up to a chunk) and frames it byte by byte; the points of one chunk carry the time
// it was taken and reach the point pump together.
void Tablet::ProcessSerialInput(ProcessSerialData& controller) {
    Framing framing;
    uint8_t chunk[kChunkSize];
    packetState = kIdle;
    inputRunning = true;
    while (!stopInput) {
        controller.SyncSerialInput();
        if (inputRing->GetCount() <= 0) {
            WaitForBytes(*this, framing);
            continue;  // a byte that ended the wait is taken on the next pass
        }
        const int32_t taken = inputRing->GetBytes(chunk, kChunkSize);
        const uint32_t takenAt = platform::TimeGetTime();
        pointQueue->BeginPushBatch();
        for (int32_t i = 0; i < taken && !stopInput; ++i) {
            TakeByte(*this, controller, framing, chunk[i], takenAt);
        }
        pointQueue->EndPushBatch();
    }
    inputRunning = false;
}
