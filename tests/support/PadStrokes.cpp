#include "PadStrokes.h"

#include <fstream>

#include "HostMessages.h"

namespace testsupport {

namespace {

template <typename Mapping>
std::vector<std::string> TouchMessages(const std::vector<PadPoint>& points, Mapping map) {
    std::vector<std::string> messages;
    bool down = false;
    for (const PadPoint& p : points) {
        if (!p.touch && !down) {
            continue;
        }
        const auto [x, y] = map(p);
        messages.push_back(PointMessage(x, y, p.touch ? 1 : 0));
        down = p.touch;
    }
    return messages;
}

}  // namespace

const std::vector<PadPoint> kTwoStrokes = {
    {600, 400, false},   {700, 500, true},    {710, 520, true},   {3000, 2500, true},
    {720, 530, false},   {730, 540, false},   {1500, 1200, true}, {1510, 1210, true},
    {1520, 1220, false}, {1530, 1230, false},
};

std::vector<std::string> ExpectedMessages(const std::vector<PadPoint>& points, int rotation) {
    return TouchMessages(
        points, [rotation](const PadPoint& p) { return DefaultLogicalPoint(p.x, p.y, rotation); });
}

std::vector<std::string> UnmappedMessages(const std::vector<PadPoint>& points) {
    return TouchMessages(points, [](const PadPoint& p) { return std::pair(p.x, p.y); });
}

std::vector<uint8_t> PadPacket(int x, int y, bool touch, uint8_t kind) {
    return {static_cast<uint8_t>(0x80 | kind << 2 | (touch ? 1 : 0)),
            static_cast<uint8_t>(x & 0x7F), static_cast<uint8_t>(x >> 7 & 0x1F),
            static_cast<uint8_t>(y & 0x7F), static_cast<uint8_t>(y >> 7 & 0x1F)};
}

std::vector<uint8_t> UsbPipePacket(int x, int y, bool touch) {
    return {static_cast<uint8_t>(touch ? 0x08 : 0x00), static_cast<uint8_t>(x >> 4 & 0xFF),
            static_cast<uint8_t>((x & 0x0F) << 4 | (y >> 8 & 0x0F)),
            static_cast<uint8_t>(y & 0xFF)};
}

std::vector<uint8_t> PacketStream(const std::vector<PadPoint>& points, bool pipe) {
    std::vector<uint8_t> stream;
    for (const PadPoint& p : points) {
        const std::vector<uint8_t> packet =
            pipe ? UsbPipePacket(p.x, p.y, p.touch) : PadPacket(p.x, p.y, p.touch);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

std::string WriteStrokesFile(const std::string& path, const std::vector<PadPoint>& points) {
    std::ofstream file(path);
    for (const PadPoint& p : points) {
        file << p.x << ' ' << p.y << ' ' << (p.touch ? 1 : 0) << '\n';
    }
    return path;
}

std::vector<PadPoint> LongStroke(int touchingPoints) {
    std::vector<PadPoint> points;
    for (int i = 0; i < touchingPoints; ++i) {
        points.push_back({500 + i % 2150, 350 + 5 * (i / 2150), true});
    }
    points.push_back({500, 350, false});
    return points;
}

}  // namespace testsupport
