#pragma once

#include <optional>
#include <string>

#include "padsim/PadPoint.h"

namespace padsim {

// The part of the pad's coordinate range that the host maps onto its logical area; the host's
// defaults are 500..2650 by 350..2100.
struct PadWindow {
    int32_t xStart = 500;
    int32_t yStart = 350;
    int32_t xStop = 2650;
    int32_t yStop = 2100;

    int32_t width() const { return xStop - xStart; }
    int32_t height() const { return yStop - yStart; }
};

// The host's logical area (its defaults are 2150 by 1400).
struct LogicalSize {
    int32_t width = 2150;
    int32_t height = 1400;
};

// Scales and centres a drawing so that its bounding box fills 90% of the window, keeping its
// proportions. Coordinates come out rounded to whole pad units inside the window.
PadPoints FitIntoWindow(const PadPoints& drawing, const PadWindow& window);

// What a pad server does before it sends a point: maps the window onto 0..width by
// 0..height (the product divided by the window size, truncated), clamped to that range.
PadPoint ToLogical(const PadPoint& point, const PadWindow& window, const LogicalSize& size);

// An error text when a point lies outside the pad's 12-bit range.
std::optional<std::string> CheckPadRange(const PadPoints& points);

}  // namespace padsim
