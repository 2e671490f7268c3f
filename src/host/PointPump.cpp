#include "host/PointPump.h"

#include <cstdio>

#include "host/MessageFraming.h"
#include "platform/DebugOutput.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"

namespace {

constexpr uint32_t kPollTimeoutMs = 10;
constexpr uint8_t kNotAPenPoint = 0x60;
constexpr uint8_t kTouchBit = 0x08;

}  // namespace

std::optional<std::string> PointMessageFor(uint32_t penData, bool& penWasDown) {
    const uint8_t status = PenStatus(penData);
    if ((status & kNotAPenPoint) != 0) {
        return std::nullopt;
    }
    const bool down = (status & kTouchBit) != 0;
    if (!down && !penWasDown) {
        return std::nullopt;  // the pen moves above the pad, or is still lifted
    }
    penWasDown = down;
    char message[64];
    std::snprintf(message, sizeof message, "{\"command\":\"POINT\",\"X\":%i,\"Y\":%i,\"P\":%i}",
                  PenX(penData), PenY(penData), down ? 1 : 0);
    return std::string(message);
}

void PointPump(PumpControl& control) {
    bool penWasDown = false;
    PointRecord record{};
    while (!control.stopPump) {
        Tablet* tablet = control.currentTablet;
        if (!tablet->GetNextPoint(record, kPollTimeoutMs)) {
            continue;
        }
        if (const std::optional<std::string> message =
                PointMessageFor(record.penData, penWasDown)) {
            platform::OutputDebugText(message->c_str());
            SendToBrowser(*message);
        }
    }
}
