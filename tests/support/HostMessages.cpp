#include "HostMessages.h"

#include <cstdint>

namespace testsupport {

std::string Frame(const std::string& text) {
    const auto n = static_cast<uint32_t>(text.size());
    std::string frame{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                      static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
    return frame + text;
}

std::string PointMessage(int x, int y, int p) {
    return "{\"command\":\"POINT\",\"X\":" + std::to_string(x) + ",\"Y\":" + std::to_string(y) +
           ",\"P\":" + std::to_string(p) + "}";
}

std::pair<int, int> DefaultLogicalPoint(int x, int y, int rotation) {
    const auto scale = [](int offset, int size, int extent) {
        const int v = offset * size / extent;
        return v < 0 ? 0 : (v > size ? size : v);
    };
    switch (rotation) {
        case 90:
            return {scale(y - 2100, 2150, 350 - 2100), scale(x - 500, 1400, 2650 - 500)};
        case 180:
            return {scale(x - 2650, 2150, 500 - 2650), scale(y - 2100, 1400, 350 - 2100)};
        case 270:
            return {scale(y - 350, 2150, 2100 - 350), scale(x - 2650, 1400, 500 - 2650)};
        default:
            return {scale(x - 500, 2150, 2650 - 500), scale(y - 350, 1400, 2100 - 350)};
    }
}

}  // namespace testsupport
