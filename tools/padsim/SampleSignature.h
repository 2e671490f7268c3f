#pragma once

#include "padsim/PadGeometry.h"

namespace padsim {

// The built-in signature: a handwritten-looking name in five pen-down strokes and a dot, each
// ended by a lift point and followed by a few hover points, sampled as a pad samples a moving
// pen (200 points per second, slower where a stroke starts and ends). It is drawn in its own
// design space with Y growing downwards; FitIntoWindow places it on the pad.
PadPoints SampleSignatureDrawing();

}  // namespace padsim
