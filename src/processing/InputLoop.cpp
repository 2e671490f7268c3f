#include "platform/Clock.h"
#include "processing/PacketFraming.h"
#include "tablet/Tablet.h"

namespace {

// The most bytes one pass takes from the ring: a large socket or HID delivery, 204 packets.
constexpr int32_t kChunkSize = 1024;

// Blocks while the ring stays empty, then tells the framing how long the silence lasted.
void WaitForBytes(Tablet& tablet, PacketFraming& framing) {
    const uint32_t waitStart = platform::TimeGetTime();
    tablet.inputRing->WaitForData();
    framing.AfterSilence(tablet, platform::TimeGetTime() - waitStart);
}

}  // namespace

// Frames the byte stream in the ring into packets (PacketFraming) until stopInput is set. Each pass
// takes what the ring holds (up to a chunk) and frames it byte by byte; the points of one chunk
// carry the time it was taken and reach the point pump together.
void Tablet::ProcessSerialInput(ProcessSerialData& controller) {
    PacketFraming framing;
    uint8_t chunk[kChunkSize];
    packetState = 0;
    inputRunning = true;
    while (!stopInput) {
        controller.SyncSerialInput();
        // Read before the ring: a reader queues its last bytes before it reports the pad gone.
        const bool readerGone = readerFoundPadGone;
        if (inputRing->GetCount() <= 0) {
            if (readerGone && !padGoneAnnounced) {
                AnnouncePadGone();
                // The reader's wake carried no bytes: it is used up here, so that the next wait
                // blocks; a stop that came meanwhile is seen at the top of the loop.
                inputRing->GetBytes(chunk, 0);
                continue;
            }
            WaitForBytes(*this, framing);
            continue;  // a byte that ended the wait is taken on the next pass
        }
        const int32_t taken = inputRing->GetBytes(chunk, kChunkSize);
        const uint32_t takenAt = platform::TimeGetTime();
        pointQueue->BeginPushBatch();
        for (int32_t i = 0; i < taken && !stopInput; ++i) {
            framing.TakeByte(*this, controller, chunk[i], takenAt);
        }
        pointQueue->EndPushBatch();
    }
    inputRunning = false;
}
