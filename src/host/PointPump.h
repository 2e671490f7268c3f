#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

class Tablet;

// What the point pump shares with the capture start and stop.
struct PumpControl {
    std::atomic<bool> stopPump{false};
    std::atomic<Tablet*> currentTablet{nullptr};
};

// The text of one POINT message, NUL-terminated for the debugger output.
struct PointMessage {
    char text[48];
    size_t length = 0;
    std::string_view View() const { return {text, length}; }
};

// Forms the POINT message for one queued entry, or returns false when the entry is not sent:
// entries that are not pen points, and points taken while the pen is lifted. The first lifted
// point after a touching one is sent with P = 0. penWasDown carries the touch state of the last
// message sent.
bool PointMessageFor(uint32_t penData, bool& penWasDown, PointMessage& message);

// The pump thread: sends a POINT frame for every pen point until stopPump is set. It blocks
// while no point is queued; StopPointPump wakes it.
void PointPump(PumpControl& control);

// Asks the pump to end and wakes it.
void StopPointPump(PumpControl& control);
