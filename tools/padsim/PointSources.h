#pragma once

#include <string>

#include "padsim/Options.h"
#include "padsim/Playback.h"

namespace padsim {

struct PointSourceResult {
    PointSource source;
    std::string error;
};

// What the options ask to play: the burst pattern, a strokes file or the built-in signature,
// placed in the pad window unless raw coordinates are wanted.
PointSourceResult BuildPointSource(const Options& options);

// Places parsed or built-in points on the pad as the options say.
PointSourceResult SourceFromDrawing(const PadPoints& drawing, const Options& options);

}  // namespace padsim
