#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class Tablet;

// What the point pump shares with the capture start and stop.
struct PumpControl {
    std::atomic<bool> stopPump{false};
    std::atomic<Tablet*> currentTablet{nullptr};
};

// The POINT message for one queued entry, or nothing when the entry is not sent: entries that
// are not pen points, and points taken while the pen is lifted. The first lifted point after a
// touching one is sent with P = 0. penWasDown carries the touch state of the last message sent.
std::optional<std::string> PointMessageFor(uint32_t penData, bool& penWasDown);

// The pump thread: sends one POINT frame per pen point until stopPump is set.
void PointPump(PumpControl& control);
