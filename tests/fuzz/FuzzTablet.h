#pragma once

#include <iterator>

#include "FuzzInput.h"
#include "tablet/Tablet.h"

// One Tablet for every run of a target, never destroyed: its end would wait and log.
inline Tablet& TheTablet() {
    static Tablet* tablet = new Tablet;
    return *tablet;
}

// Sets the decoder's pad window, logical size and rotation from the fuzzer's bytes: any 16-bit
// values, and the rotations the decoder knows plus one it does not.
inline void ApplyWindow(FuzzInput& input, TabletSettings& settings) {
    constexpr int32_t kRotations[] = {0, 90, 180, 270, 45};
    settings.TabletXStart = static_cast<int16_t>(input.Word());
    settings.TabletYStart = static_cast<int16_t>(input.Word());
    settings.TabletXStop = static_cast<int16_t>(input.Word());
    settings.TabletYStop = static_cast<int16_t>(input.Word());
    settings.TabletLogicalXSize = static_cast<int16_t>(input.Word());
    settings.TabletLogicalYSize = static_cast<int16_t>(input.Word());
    settings.TabletRotation = kRotations[input.Byte() % std::size(kRotations)];
}

// The largest value a queued point's X or Y may have under a logical size.
inline int32_t LargestCoordinate(int16_t logicalSize) {
    return logicalSize < 0 ? 0 : logicalSize > 0xFFF ? 0xFFF : logicalSize;
}
