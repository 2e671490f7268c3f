#include "padsim/PointSources.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "padsim/BurstPattern.h"
#include "padsim/SampleSignature.h"
#include "padsim/StrokesFile.h"

namespace padsim {
namespace {

PointSource FromPoints(PadPoints points) {
    auto shared = std::make_shared<const PadPoints>(std::move(points));
    return {shared->size(), [shared](uint64_t i) { return (*shared)[i]; }};
}

PointSourceResult FromStrokesFile(const Options& options) {
    std::ifstream file(options.strokesFile, std::ios::binary);
    if (!file) {
        return {{}, "cannot read the strokes file " + options.strokesFile};
    }
    std::ostringstream text;
    text << file.rdbuf();
    const StrokesParseResult parsed = ParseStrokes(text.str());
    if (!parsed.ok()) {
        return {{}, options.strokesFile + ": " + parsed.error};
    }
    return SourceFromDrawing(parsed.points, options);
}

}  // namespace

PointSourceResult SourceFromDrawing(const PadPoints& drawing, const Options& options) {
    if (!options.rawCoordinates) {
        return {FromPoints(FitIntoWindow(drawing, options.window)), ""};
    }
    if (const auto error = CheckPadRange(drawing)) {
        return {{}, *error};
    }
    return {FromPoints(drawing), ""};
}

PointSourceResult BuildPointSource(const Options& options) {
    if (options.burst && !options.strokesFile.empty()) {
        return {{}, "--burst and --strokes exclude each other"};
    }
    if (options.burst) {
        const uint64_t count = *options.burst;
        const PadWindow window = options.window;
        return {{count + 1, [count, window](uint64_t i) { return BurstPoint(i, count, window); }},
                ""};
    }
    if (!options.strokesFile.empty()) {
        return FromStrokesFile(options);
    }
    return SourceFromDrawing(SampleSignatureDrawing(), options);
}

}  // namespace padsim
