#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nmclient {

struct CapturedPoint {
    int64_t x = 0;
    int64_t y = 0;
    bool down = false;  // P = 1
};

struct Vertex {
    int64_t x;
    int64_t y;
    bool operator==(const Vertex&) const = default;
};
using Polyline = std::vector<Vertex>;

// The pen-down runs of a capture: consecutive P = 1 points, each run ended by a P = 0 point
// (which is where the pen left the surface and is not part of the line). A run still open at
// the end of the capture counts as well.
std::vector<Polyline> BuildStrokes(const std::vector<CapturedPoint>& points);

// An SVG document with one polyline per stroke on a white background, the viewBox being
// 0 0 maxx maxy (the OPEN reply's logical size); without a usable size, the strokes' extent.
std::string WriteSvg(const std::vector<Polyline>& strokes, int64_t maxx, int64_t maxy);

}  // namespace nmclient
