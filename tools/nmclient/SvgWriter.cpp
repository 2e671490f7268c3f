#include "nmclient/SvgWriter.h"

#include <algorithm>

namespace nmclient {
namespace {

// Width and height of the drawing when the OPEN reply gave none.
Vertex Extent(const std::vector<Polyline>& strokes) {
    Vertex extent{1, 1};
    for (const Polyline& line : strokes) {
        for (const Vertex& v : line) {
            extent.x = std::max(extent.x, v.x);
            extent.y = std::max(extent.y, v.y);
        }
    }
    return extent;
}

std::string Points(const Polyline& line) {
    std::string text;
    for (const Vertex& v : line) {
        if (!text.empty()) {
            text += ' ';
        }
        text.append(std::to_string(v.x)).append(1, ',').append(std::to_string(v.y));
    }
    // A single point is drawn as a dot: a line of no length with round caps.
    if (line.size() == 1) {
        const std::string point = text;
        text.append(1, ' ').append(point);
    }
    return text;
}

}  // namespace

std::vector<Polyline> BuildStrokes(const std::vector<CapturedPoint>& points) {
    std::vector<Polyline> strokes;
    bool open = false;
    for (const CapturedPoint& p : points) {
        if (!p.down) {
            open = false;
            continue;
        }
        if (!open) {
            strokes.emplace_back();
            open = true;
        }
        strokes.back().push_back({p.x, p.y});
    }
    return strokes;
}

std::string WriteSvg(const std::vector<Polyline>& strokes, int64_t maxx, int64_t maxy) {
    if (maxx <= 0 || maxy <= 0) {
        const Vertex extent = Extent(strokes);
        maxx = extent.x;
        maxy = extent.y;
    }
    const std::string width = std::to_string(maxx);
    const std::string height = std::to_string(maxy);
    const int64_t penWidth = std::max<int64_t>(2, std::max(maxx, maxy) / 300);
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height + "\">\n";
    svg += "  <rect width=\"" + width + "\" height=\"" + height + "\" fill=\"white\"/>\n";
    svg += "  <g fill=\"none\" stroke=\"black\" stroke-width=\"" + std::to_string(penWidth) +
           "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
    for (const Polyline& line : strokes) {
        svg += "    <polyline points=\"" + Points(line) + "\"/>\n";
    }
    return svg + "  </g>\n</svg>\n";
}

}  // namespace nmclient
