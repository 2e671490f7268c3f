#include "padsim/SampleSignature.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace padsim {
namespace {

struct Vec {
    double x;
    double y;
};
using Path = std::vector<Vec>;

constexpr double kSamplesPerSecond = 200.0;
constexpr double kTopSpeed = 950.0;  // design units per second
constexpr int kSubdivisions = 24;
constexpr int kHoverPointsEachEnd = 3;

// The glyphs as control points of Catmull-Rom splines, in a design space about 800 by 300.
const std::vector<std::vector<Vec>> kStrokes = {
    // Capital M flowing into "ira".
    {{60, 250},  {75, 160},  {95, 95},   {110, 90},  {120, 140}, {135, 220}, {150, 150},
     {172, 95},  {185, 100}, {190, 170}, {198, 245}, {215, 250}, {232, 215}, {245, 190},
     {250, 200}, {248, 235}, {258, 250}, {272, 240}, {285, 192}, {293, 196}, {300, 188},
     {306, 210}, {310, 250}, {322, 245}, {345, 200}, {330, 192}, {315, 205}, {318, 245},
     {335, 248}, {350, 220}, {352, 195}, {350, 230}, {356, 250}, {372, 243}},
    // The dot over the i.
    {{246, 165}, {248, 163}, {249, 166}},
    // Cross bar of the T.
    {{430, 98}, {470, 86}, {520, 90}, {565, 80}},
    // Stem of the T with its hook.
    {{505, 90}, {503, 170}, {498, 235}, {488, 258}, {470, 262}, {458, 250}},
    // "olk".
    {{540, 205}, {525, 195}, {515, 215}, {520, 245}, {538, 250}, {552, 225}, {548, 200}, {540, 196},
     {555, 205}, {575, 198}, {595, 160}, {606, 118}, {600, 106}, {590, 130}, {588, 200}, {592, 245},
     {605, 250}, {622, 236}, {640, 170}, {645, 112}, {638, 108}, {633, 150}, {630, 250}, {634, 222},
     {655, 200}, {662, 212}, {642, 226}, {662, 248}, {684, 244}},
    // The underline flourish.
    {{80, 302}, {250, 293}, {450, 291}, {650, 285}, {722, 274}, {742, 261}, {722, 266}},
};

Vec CatmullRom(const Vec& p0, const Vec& p1, const Vec& p2, const Vec& p3, double t) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    auto blend = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (3 * b - a - 3 * c + d) * t3);
    };
    return {blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)};
}

Path Spline(const std::vector<Vec>& controls) {
    Path path;
    const size_t n = controls.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const Vec& p0 = controls[i == 0 ? 0 : i - 1];
        const Vec& p3 = controls[i + 2 < n ? i + 2 : n - 1];
        for (int step = 0; step < kSubdivisions; ++step) {
            path.push_back(
                CatmullRom(p0, controls[i], controls[i + 1], p3, double(step) / kSubdivisions));
        }
    }
    path.push_back(controls.back());
    return path;
}

double Distance(const Vec& a, const Vec& b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

std::vector<double> CumulativeLengths(const Path& path) {
    std::vector<double> lengths{0.0};
    for (size_t i = 1; i < path.size(); ++i) {
        lengths.push_back(lengths.back() + Distance(path[i - 1], path[i]));
    }
    return lengths;
}

Vec PointAtLength(const Path& path, const std::vector<double>& lengths, double s) {
    size_t i = 1;
    while (i + 1 < lengths.size() && lengths[i] < s) {
        ++i;
    }
    const double segment = lengths[i] - lengths[i - 1];
    const double t = segment > 0 ? (s - lengths[i - 1]) / segment : 0.0;
    return {path[i - 1].x + (path[i].x - path[i - 1].x) * t,
            path[i - 1].y + (path[i].y - path[i - 1].y) * t};
}

PadPoint Sample(const Vec& v, bool touch) {
    return {static_cast<int32_t>(std::lround(v.x)), static_cast<int32_t>(std::lround(v.y)), touch};
}

// Pen-down samples along the path: the pen speeds up after touching down and slows before
// lifting, as a hand does.
void AppendStroke(const Path& path, PadPoints& out) {
    const auto lengths = CumulativeLengths(path);
    const double total = lengths.back();
    double s = 0.0;
    while (s < total) {
        out.push_back(Sample(PointAtLength(path, lengths, s), true));
        const double speed = kTopSpeed * (0.25 + 0.75 * std::sin(std::numbers::pi * s / total));
        s += speed / kSamplesPerSecond;
    }
    out.push_back(Sample(path.back(), true));
}

// The lift and the pen's flight above the pad to the next stroke: the lift point a little past
// the stroke's end, a few points while leaving, a few while approaching the next start.
void AppendHover(const Vec& from, const Vec& to, PadPoints& out) {
    const Vec step{(to.x - from.x) / 12, (to.y - from.y) / 12 - 2};
    for (int i = 1; i <= kHoverPointsEachEnd; ++i) {
        out.push_back(Sample({from.x + step.x * i * 0.5, from.y + step.y * i * 0.5}, false));
    }
    for (int i = kHoverPointsEachEnd; i >= 1; --i) {
        out.push_back(Sample({to.x - step.x * i * 0.5, to.y - step.y * i * 0.5}, false));
    }
}

}  // namespace

PadPoints SampleSignatureDrawing() {
    PadPoints points;
    for (size_t i = 0; i < kStrokes.size(); ++i) {
        AppendStroke(Spline(kStrokes[i]), points);
        const Vec end = kStrokes[i].back();
        const Vec next = i + 1 < kStrokes.size() ? kStrokes[i + 1].front() : Vec{end.x + 40, end.y};
        AppendHover(end, next, points);
    }
    return points;
}

}  // namespace padsim
