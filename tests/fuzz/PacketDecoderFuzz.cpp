// The packet decoder on arbitrary 5-byte packets under arbitrary pad windows and rotations:
// every queued pen point's X and Y lie within the logical size, and an answer is queued only
// for a status packet.
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"

namespace {

constexpr int32_t kRotations[] = {0, 90, 180, 270, 45};
// The largest logical size a queued point can carry: X and Y have 12 bits each.
constexpr int16_t kMaxLogicalSize = 0xFFF;

Tablet& TheTablet() {
    static Tablet* tablet = new Tablet;  // never destroyed: its end would wait and log
    return *tablet;
}

int16_t LogicalSize(uint16_t raw) {
    return static_cast<int16_t>(raw % (kMaxLogicalSize + 1));
}

void ApplyWindow(FuzzInput& input, TabletSettings& settings) {
    settings.TabletXStart = static_cast<int16_t>(input.Word());
    settings.TabletYStart = static_cast<int16_t>(input.Word());
    settings.TabletXStop = static_cast<int16_t>(input.Word());
    settings.TabletYStop = static_cast<int16_t>(input.Word());
    settings.TabletLogicalXSize = LogicalSize(input.Word());
    settings.TabletLogicalYSize = LogicalSize(input.Word());
    settings.TabletRotation = kRotations[input.Byte() % std::size(kRotations)];
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
    }
    const TabletSettings& settings = tablet.settings;
    PointRecord point;
    while (tablet.pointQueue->GetPointCount() > 0 && tablet.pointQueue->PopPoint(point)) {
        const int32_t x = PenX(point.penData);
        const int32_t y = PenY(point.penData);
        Require(x >= 0 && x <= settings.TabletLogicalXSize, "X within the logical size");
        Require(y >= 0 && y <= settings.TabletLogicalYSize, "Y within the logical size");
    }
    Require(tablet.answerQueue->GetPointCount() == statusPackets, "one answer per status packet");
    return 0;
}
