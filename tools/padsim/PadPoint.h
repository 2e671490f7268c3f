#pragma once

#include <cstdint>
#include <vector>

namespace padsim {

// One pen sample as the pad measures it: 12-bit coordinates (0..4095) in the pad's own units,
// Y growing downwards, and whether the pen touches the surface.
struct PadPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool touch = false;

    bool operator==(const PadPoint&) const = default;
};

using PadPoints = std::vector<PadPoint>;

inline constexpr int32_t kMaxPadCoordinate = 4095;

}  // namespace padsim
