// The packet decoder on arbitrary 5-byte packets under arbitrary pad windows and rotations:
// every queued pen point carries its converted X and Y whole and within the logical size, and an
// answer is queued only for a status packet.
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "FuzzTablet.h"
#include "processing/PacketDecoder.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"

namespace {

// A point queued for a pen packet carries the packet's converted coordinates whole: none is
// cut to fewer bits on the way, and each lies within the logical size.
void CheckPoint(const TabletSettings& settings, const uint8_t (&packet)[5], uint32_t penData) {
    int32_t x = Tablet::DecodeCoordinate(packet[1], packet[2]);
    int32_t y = Tablet::DecodeCoordinate(packet[3], packet[4]);
    ConvertPoint(settings, x, y);
    Require(PenX(penData) == x && PenY(penData) == y, "the converted point arrives whole");
    Require(x >= 0 && x <= LargestCoordinate(settings.TabletLogicalXSize),
            "X within the logical size");
    Require(y >= 0 && y <= LargestCoordinate(settings.TabletLogicalYSize),
            "Y within the logical size");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Tablet& tablet = TheTablet();
    FuzzInput input(data, size);
    ApplyWindow(input, tablet.settings);
    tablet.pointQueue->ResetQueue();
    tablet.answerQueue->ResetQueue();
    int statusPackets = 0;
    while (input.Left() > 0) {
        uint8_t packet[5] = {};
        const std::string_view taken = input.Take(sizeof packet);
        std::memcpy(packet, taken.data(), taken.size());
        const bool status = ((packet[0] >> 2) & 7) == 3 && !Tablet::IsBadPacket(packet);
        statusPackets += status ? 1 : 0;
        tablet.DecodePacket(packet);
        PointRecord point;
        if (tablet.pointQueue->GetPointCount() > 0 && tablet.pointQueue->PopPoint(point)) {
            CheckPoint(tablet.settings, packet, point.penData);
        }
    }
    Require(tablet.answerQueue->GetPointCount() == statusPackets, "one answer per status packet");
    return 0;
}
