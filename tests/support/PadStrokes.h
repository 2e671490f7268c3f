#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A point as the pad measures it, in raw pad units.
struct PadPoint {
    int x;
    int y;
    bool touch;
};

// The POINT messages the browser must see for a sequence of pad points under the default
// window and logical size: touching points, then one lift message per stroke; hover points are
// dropped.
std::vector<std::string> ExpectedMessages(const std::vector<PadPoint>& points, int rotation = 0);

// The same for points that are already in logical units (a pad server sends them so).
std::vector<std::string> UnmappedMessages(const std::vector<PadPoint>& points);

// Two strokes with hovering before, between and after, one point beyond the window's edge.
extern const std::vector<PadPoint> kTwoStrokes;

// The pad's 5-byte packet as it comes over a serial line or a bridge: a sync byte with the
// packet kind and the touch bit, then X and Y as 7 low and 5 high bits.
std::vector<uint8_t> PadPacket(int x, int y, bool touch, uint8_t kind = 0);

// The legacy USB pipe driver's 4-byte packet: status (0x08 while touching), X bits 11..4, X bits
// 3..0 with Y bits 11..8, Y bits 7..0.
std::vector<uint8_t> UsbPipePacket(int x, int y, bool touch);

// The points one after the other as 5-byte packets (`pipe` false) or 4-byte pipe packets.
std::vector<uint8_t> PacketStream(const std::vector<PadPoint>& points, bool pipe = false);

// Writes the points as a padsim strokes file ("x y touch" a line) and returns its path.
std::string WriteStrokesFile(const std::string& path, const std::vector<PadPoint>& points);

// A long single stroke over the whole pad window, then a lift.
std::vector<PadPoint> LongStroke(int touchingPoints);

}  // namespace testsupport
