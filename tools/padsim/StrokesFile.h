#pragma once

#include <string>
#include <string_view>

#include "padsim/PadPoint.h"

namespace padsim {

// A strokes file holds one point per line: "x y touch", three integers separated by blanks,
// touch 1 while the pen is down and 0 while it is lifted. A '#' starts a comment that runs to
// the end of its line; blank lines are ignored.
struct StrokesParseResult {
    PadPoints points;
    std::string error;  // empty on success, else "line N: what is wrong"

    bool ok() const { return error.empty(); }
};

StrokesParseResult ParseStrokes(std::string_view text);

}  // namespace padsim
