#include "padsim/BurstPattern.h"

#include <algorithm>

namespace padsim {

PadPoint BurstPoint(uint64_t index, uint64_t count, const PadWindow& window) {
    const bool lift = index >= count;
    const uint64_t i = lift ? (count == 0 ? 0 : count - 1) : index;
    const uint64_t width = static_cast<uint64_t>(std::max(window.width(), 1));
    const uint64_t rows = static_cast<uint64_t>(std::max(window.height() / kBurstRowStep, 1));
    const auto x = static_cast<int32_t>(i % width);
    const auto row = static_cast<int32_t>((i / width) % rows);
    return {window.xStart + x, window.yStart + kBurstRowStep * row, !lift};
}

}  // namespace padsim
