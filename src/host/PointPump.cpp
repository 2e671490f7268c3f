#include "host/PointPump.h"

#include <charconv>
#include <cstring>

#include "host/FrameBatch.h"
#include "host/MessageFraming.h"
#include "platform/DebugOutput.h"
#include "processing/PointQueue.h"
#include "tablet/Tablet.h"

namespace {

static_assert(FrameBatch::kCapacity <= kOutputBufferSize, "a batch leaves in one write");

constexpr uint8_t kNotAPenPoint = 0x60;
constexpr uint8_t kTouchBit = 0x08;

// Appends text to the message; the message is large enough for every POINT text.
void Put(PointMessage& message, std::string_view text) {
    std::memcpy(message.text + message.length, text.data(), text.size());
    message.length += text.size();
}

void PutNumber(PointMessage& message, int value) {
    char* const end = message.text + sizeof message.text;
    message.length = static_cast<size_t>(
        std::to_chars(message.text + message.length, end, value).ptr - message.text);
}

// "{\"command\":\"POINT\",\"X\":%i,\"Y\":%i,\"P\":%i}", without the cost of a format parser.
void FormatPoint(PointMessage& message, int x, int y, bool down) {
    message.length = 0;
    Put(message, "{\"command\":\"POINT\",\"X\":");
    PutNumber(message, x);
    Put(message, ",\"Y\":");
    PutNumber(message, y);
    Put(message, down ? ",\"P\":1}" : ",\"P\":0}");
    message.text[message.length] = '\0';
}

}  // namespace

bool PointMessageFor(uint32_t penData, bool& penWasDown, PointMessage& message) {
    const uint8_t status = PenStatus(penData);
    if ((status & kNotAPenPoint) != 0) {
        return false;
    }
    const bool down = (status & kTouchBit) != 0;
    if (!down && !penWasDown) {
        return false;  // the pen moves above the pad, or is still lifted
    }
    penWasDown = down;
    FormatPoint(message, PenX(penData), PenY(penData), down);
    return true;
}

namespace {

// Takes the points queued by now into the batch, waiting for the first; false when the pump is
// to end. Every point queued by now goes out in one write; none waits for a later one.
bool TakePoints(PumpControl& control, bool& penWasDown, FrameBatch& batch) {
    std::lock_guard<std::mutex> inUse(control.tabletInUse);
    if (control.stopPump) {
        return false;  // the Tablet may be closing already
    }
    Tablet* tablet = control.currentTablet;
    PointRecord record{};
    if (!tablet->GetNextPoint(record, kWaitForever)) {
        return true;
    }
    PointMessage message;
    do {
        if (PointMessageFor(record.penData, penWasDown, message)) {
            platform::OutputDebugText(message.text);
            batch.Append(message.View());
        }
    } while (batch.HasRoom() && tablet->GetNextPoint(record, 0));
    return true;
}

void MarkFinished(PumpControl& control) {
    std::lock_guard<std::mutex> hold(control.finishLock);
    control.finished = true;
    control.finishSignal.notify_all();
}

}  // namespace

void PointPump(PumpControl& control) {
    bool penWasDown = false;
    FrameBatch batch;
    while (TakePoints(control, penWasDown, batch)) {
        if (!batch.Empty()) {
            SendFramesToBrowser(batch.Bytes());
            batch.Clear();
        }
    }
    MarkFinished(control);
}

void StopPointPump(PumpControl& control) {
    control.stopPump = true;
    if (Tablet* tablet = control.currentTablet) {
        tablet->WakeNextPointWait();
    }
}

bool WaitForPumpEnd(PumpControl& control, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(control.finishLock);
    return control.finishSignal.wait_for(hold, limit, [&] { return control.finished; });
}
