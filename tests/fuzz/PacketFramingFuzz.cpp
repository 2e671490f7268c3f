// The input loop's framing and the packet decoder on an arbitrary pad byte stream, cut into
// deliveries at arbitrary places, with silences and resets between them, under arbitrary pad
// windows and rotations: every queued point's X and Y lie within the logical size, points leave
// in the order their bytes came, and only bytes of the stream come out as lone bytes.
#include "FuzzInput.h"
#include "FuzzTablet.h"
#include "processing/PacketFraming.h"

namespace {

constexpr uint8_t kLengthBits = 0x1F;
constexpr uint8_t kSilenceFollows = 0x20;
constexpr uint8_t kSilenceIsLong = 0x40;
constexpr uint8_t kResetFollows = 0x80;
constexpr uint32_t kByteItemTag = 0x00110103;

void EmptyQueues(Tablet& tablet) {
    for (PointQueue* queue :
         {tablet.pointQueue.get(), tablet.answerQueue.get(), tablet.byteQueue.get()}) {
        queue->ResetQueue();
    }
}

void CheckPoints(Tablet& tablet) {
    const TabletSettings& settings = tablet.settings;
    uint32_t lastTime = 0;
    PointRecord point;
    while (tablet.pointQueue->GetPointCount() > 0 && tablet.pointQueue->PopPoint(point)) {
        Require(PenX(point.penData) <= LargestCoordinate(settings.TabletLogicalXSize),
                "X within the logical size");
        Require(PenY(point.penData) <= LargestCoordinate(settings.TabletLogicalYSize),
                "Y within the logical size");
        Require(point.timeStamp >= lastTime, "points in the order of their bytes");
        lastTime = point.timeStamp;
    }
}

void CheckLoneBytes(Tablet& tablet, size_t bytesFed) {
    Require(static_cast<size_t>(tablet.byteQueue->GetPointCount()) <= bytesFed,
            "no more lone bytes than bytes");
    PointRecord item;
    while (tablet.byteQueue->GetPointCount() > 0 && tablet.byteQueue->PopPoint(item)) {
        Require((item.penData & 0x00FFFFFF) == kByteItemTag, "a lone byte is a byte item");
    }
}

}  // namespace

// Input: the window (13 bytes), then deliveries: a control byte (length in bits 4..0, then
// whether a silence follows, whether it is longer than the gap, whether a reset follows), and
// that many pad bytes. Each delivery's clock reading is its index.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Tablet& tablet = TheTablet();
    ProcessSerialData& controller = *tablet.inputProcessor;
    FuzzInput input(data, size);
    ApplyWindow(input, tablet.settings);
    EmptyQueues(tablet);
    controller.ResetSerialInput();  // as a start leaves it: idle, waiting for a lone byte
    PacketFraming framing;
    size_t bytesFed = 0;
    for (uint32_t delivery = 1; input.Left() > 0; ++delivery) {
        const uint8_t control = input.Byte();
        for (const char byte : input.Take(control & kLengthBits)) {
            framing.TakeByte(tablet, controller, static_cast<uint8_t>(byte), delivery);
            ++bytesFed;
        }
        if ((control & kSilenceFollows) != 0) {
            const uint32_t gap = PacketFraming::kGapMs;
            framing.AfterSilence(tablet, (control & kSilenceIsLong) != 0 ? gap + 1 : gap);
        }
        if ((control & kResetFollows) != 0) {
            controller.ResetSerialInput();
        }
    }
    CheckPoints(tablet);
    CheckLoneBytes(tablet, bytesFed);
    return 0;
}
