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

template <typename Number>
void PutNumber(PointMessage& message, Number value) {
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

void AddArrivalTime(PointMessage& message, uint32_t milliseconds) {
    --message.length;  // the closing brace
    Put(message, ",\"T\":");
    PutNumber(message, milliseconds);
    Put(message, "}");
    message.text[message.length] = '\0';
}

uint32_t MillisecondsSince(uint32_t from, uint32_t to) {
    const auto elapsed = static_cast<int32_t>(to - from);
    return elapsed < 0 ? 0 : static_cast<uint32_t>(elapsed);
}

namespace {

// What the pump carries from one pass to the next.
struct PumpState {
    bool penWasDown = false;  // the touch state of the last POINT message sent
    bool goneSent = false;
};

void AppendPoint(const PumpControl& control, const PointRecord& record, PumpState& state,
                 FrameBatch& batch) {
    PointMessage message;
    if (!PointMessageFor(record.penData, state.penWasDown, message)) {
        return;
    }
    if (control.richCapture) {
        AddArrivalTime(message, MillisecondsSince(control.openedAt, record.timeStamp));
    }
    platform::OutputDebugText(message.text);
    batch.Append(message.View());
}

// Takes the points queued by now into the batch, waiting for the first; false when the pump is
// to end. Every point queued by now goes out in one write; none waits for a later one. In the
// richer capture a pad that has gone is said after its last point, once.
bool TakePoints(PumpControl& control, PumpState& state, FrameBatch& batch) {
    std::lock_guard<std::mutex> inUse(control.tabletInUse);
    if (control.stopPump) {
        return false;  // the Tablet may be closing already
    }
    Tablet* tablet = control.currentTablet;
    // Read before the queue: every point of a pad that has gone is queued before it says so.
    const bool goneToSay = control.richCapture && !state.goneSent && tablet->PadGone();
    PointRecord record{};
    if (tablet->GetNextPoint(record, goneToSay ? 0 : kWaitForever)) {
        do {
            AppendPoint(control, record, state, batch);
        } while (batch.HasRoom() && tablet->GetNextPoint(record, 0));
    }
    if (goneToSay && batch.HasRoom() && tablet->pointQueue->GetPointCount() == 0) {
        platform::OutputDebugText(kPadGoneMessage.data());
        batch.Append(kPadGoneMessage);
        state.goneSent = true;
    }
    return true;
}

void MarkFinished(PumpControl& control) {
    std::lock_guard<std::mutex> hold(control.finishLock);
    control.finished = true;
    control.finishSignal.notify_all();
}

}  // namespace

void PointPump(PumpControl& control) {
    PumpState state;
    FrameBatch batch;
    while (TakePoints(control, state, batch)) {
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
