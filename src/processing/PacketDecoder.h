#pragma once

#include <cstdint>

#include "tablet/TabletSettings.h"

// Maps a pad point (12-bit X and Y in pad units) onto the logical size through the pad window
// and the rotation: each value is the product of the offset and the logical size, divided by
// the window's extent (truncated toward zero), then clamped to 0..logical size and to the 12 bits
// a point carries (a negative size counts as 0). A window of zero extent on an axis maps every
// value on that axis to 0.
void ConvertPoint(const TabletSettings& settings, int32_t& x, int32_t& y);
