#include "padsim/PadGeometry.h"

#include <algorithm>
#include <cmath>

namespace padsim {
namespace {

constexpr double kFillShare = 0.9;

struct Box {
    int32_t minX, minY, maxX, maxY;
};

Box BoundingBox(const PadPoints& points) {
    Box box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const PadPoint& p : points) {
        box.minX = std::min(box.minX, p.x);
        box.maxX = std::max(box.maxX, p.x);
        box.minY = std::min(box.minY, p.y);
        box.maxY = std::max(box.maxY, p.y);
    }
    return box;
}

double ScaleFor(const Box& box, const PadWindow& window) {
    const double boxWidth = double(box.maxX) - box.minX;
    const double boxHeight = double(box.maxY) - box.minY;
    double scale = 1.0;
    if (boxWidth > 0) {
        scale = kFillShare * window.width() / boxWidth;
    }
    if (boxHeight > 0) {
        scale = std::min(scale, kFillShare * window.height() / boxHeight);
    }
    return scale;
}

int32_t Clamp(int64_t value, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, low, high));
}

}  // namespace

PadPoints FitIntoWindow(const PadPoints& drawing, const PadWindow& window) {
    if (drawing.empty()) {
        return {};
    }
    const Box box = BoundingBox(drawing);
    const double scale = ScaleFor(box, window);
    const double boxCentreX = (double(box.minX) + box.maxX) / 2;
    const double boxCentreY = (double(box.minY) + box.maxY) / 2;
    const double windowCentreX = (double(window.xStart) + window.xStop) / 2;
    const double windowCentreY = (double(window.yStart) + window.yStop) / 2;
    PadPoints fitted;
    fitted.reserve(drawing.size());
    for (const PadPoint& p : drawing) {
        const auto x = std::llround(windowCentreX + (p.x - boxCentreX) * scale);
        const auto y = std::llround(windowCentreY + (p.y - boxCentreY) * scale);
        fitted.push_back({Clamp(x, window.xStart, window.xStop),
                          Clamp(y, window.yStart, window.yStop), p.touch});
    }
    return fitted;
}

PadPoint ToLogical(const PadPoint& point, const PadWindow& window, const LogicalSize& size) {
    const int64_t x = int64_t{point.x - window.xStart} * size.width / window.width();
    const int64_t y = int64_t{point.y - window.yStart} * size.height / window.height();
    return {Clamp(x, 0, size.width), Clamp(y, 0, size.height), point.touch};
}

std::optional<std::string> CheckPadRange(const PadPoints& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        const PadPoint& p = points[i];
        if (p.x < 0 || p.x > kMaxPadCoordinate || p.y < 0 || p.y > kMaxPadCoordinate) {
            return "point " + std::to_string(i + 1) + " (" + std::to_string(p.x) + ", " +
                   std::to_string(p.y) + ") lies outside the pad's range 0..4095";
        }
    }
    return std::nullopt;
}

}  // namespace padsim
