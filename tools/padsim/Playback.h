#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "padsim/PadPoint.h"

namespace padsim {

using Clock = std::chrono::steady_clock;

// The points to play: how many, and point i on demand.
struct PointSource {
    uint64_t count = 0;
    std::function<PadPoint(uint64_t)> at;
};

// Hands out the points of a source at a fixed rate. Point k after a restart is due at
// start + k / rate, so lateness never accumulates; a rate of 0 makes every point due at once.
// Played once, or over and over.
class Playback {
public:
    Playback(PointSource source, double pointsPerSecond, bool loop);

    // Starts again from the first point, with the first one due at `now`.
    void Restart(Clock::time_point now);
    // Appends the points due at `now` to `out`, at most `limit` of them.
    void TakeDue(Clock::time_point now, size_t limit, PadPoints& out);
    // When the next point is due; nothing once a single pass has been played.
    std::optional<Clock::time_point> NextDeadline() const;

    bool finished() const { return !loop_ && taken_ >= source_.count; }
    // Points taken since the last restart.
    uint64_t taken() const { return taken_; }
    // Whole passes over the source since the last restart.
    uint64_t passes() const { return source_.count == 0 ? 0 : taken_ / source_.count; }
    uint64_t pointsPerPass() const { return source_.count; }

private:
    Clock::time_point DueTime(uint64_t k) const;

    PointSource source_;
    double pointsPerSecond_;
    bool loop_;
    Clock::time_point start_{};
    uint64_t taken_ = 0;
};

}  // namespace padsim
