#pragma once

#include <cstdint>

#include "padsim/PadGeometry.h"

namespace padsim {

// The synthetic benchmark pattern: `count` touching points that walk the window row by row,
// then one lift point (touch 0) at the last point's place, count + 1 points in all.
// Point i (0-based, i < count), with W = window width and R = window height / 5 rows:
//   x = xStart + i mod W,   y = yStart + 5 * (floor(i / W) mod R).
// With the host's default window and logical size, point i arrives as logical
// X = i mod 2150 and Y = 4 * floor(i / 2150), so the first 752500 points are all distinct.
PadPoint BurstPoint(uint64_t index, uint64_t count, const PadWindow& window);

inline constexpr int32_t kBurstRowStep = 5;

}  // namespace padsim
