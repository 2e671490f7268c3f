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
            if (readerGone) {
                if (!padGoneAnnounced) {
                    AnnouncePadGone();
                }
                // Once the reader has gone, a wake without bytes is used up before every wait:
                // the reader sets its flag and then wakes this loop, so its wake may come after
                // the flag was seen here, and would leave the ring signalled and every later wait
                // returning at once. A stop sets its flag before its wake: one whose wake is used
                // up here is seen at the top of the loop.
                inputRing->GetBytes(chunk, 0);
                if (stopInput) {
                    continue;
                }
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
