#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

class Tablet;

// What the point pump shares with the capture start and stop.
struct PumpControl {
    std::atomic<bool> stopPump{false};
    std::atomic<Tablet*> currentTablet{nullptr};
    // Set before the pump starts. The richer capture (OPEN2): every POINT message carries "T",
    // the milliseconds from openedAt (the clock when the OPEN reply went out) to the point's
    // arrival, and the pad's going is said once with the GONE message.
    bool richCapture = false;
    uint32_t openedAt = 0;
    // Held by the pump while it takes points from the Tablet, never while it writes them out: a
    // pump whose write waits for a browser that has stopped reading leaves the Tablet free to
    // be closed.
    std::mutex tabletInUse;
    // Set by the pump as its last act.
    bool finished = false;  // guarded by finishLock
    std::mutex finishLock;
    std::condition_variable finishSignal;
};

// The text of one POINT message, NUL-terminated for the debugger output.
struct PointMessage {
    char text[64];
    size_t length = 0;
    std::string_view View() const { return {text, length}; }
};

// Forms the POINT message for one queued entry, or returns false when the entry is not sent:
// entries that are not pen points, and points taken while the pen is lifted. The first lifted
// point after a touching one is sent with P = 0. penWasDown carries the touch state of the last
// message sent.
bool PointMessageFor(uint32_t penData, bool& penWasDown, PointMessage& message);

// Adds "T" with the given milliseconds to a POINT message formed by PointMessageFor.
void AddArrivalTime(PointMessage& message, uint32_t milliseconds);

// Milliseconds from `from` to `to` on the wrapping millisecond clock; 0 when `to` is earlier (a
// point that arrived before the OPEN reply).
uint32_t MillisecondsSince(uint32_t from, uint32_t to);

// The message of the richer capture that says the pad has gone.
inline constexpr std::string_view kPadGoneMessage = "{\"command\":\"GONE\"}";

// The pump thread: sends a POINT frame for every pen point until stopPump is set. It blocks
// while no point is queued; StopPointPump wakes it.
void PointPump(PumpControl& control);

// Asks the pump to end and wakes it.
void StopPointPump(PumpControl& control);

// Waits until the pump has ended, at most `limit`. True when it has.
bool WaitForPumpEnd(PumpControl& control, std::chrono::milliseconds limit);
