#include "padsim/Playback.h"

#include <cmath>

namespace padsim {

Playback::Playback(PointSource source, double pointsPerSecond, bool loop)
    : source_(std::move(source)), pointsPerSecond_(pointsPerSecond), loop_(loop) {}

void Playback::Restart(Clock::time_point now) {
    start_ = now;
    taken_ = 0;
}

void Playback::TakeDue(Clock::time_point now, size_t limit, PadPoints& out) {
    if (source_.count == 0) {
        return;
    }
    for (size_t n = 0; n < limit && !finished() && DueTime(taken_) <= now; ++n) {
        out.push_back(source_.at(taken_ % source_.count));
        ++taken_;
    }
}

std::optional<Clock::time_point> Playback::NextDeadline() const {
    if (finished() || source_.count == 0) {
        return std::nullopt;
    }
    return DueTime(taken_);
}

Clock::time_point Playback::DueTime(uint64_t k) const {
    if (pointsPerSecond_ <= 0) {
        return start_;
    }
    const std::chrono::nanoseconds offset(std::llround(double(k) * 1e9 / pointsPerSecond_));
    return start_ + std::chrono::duration_cast<Clock::duration>(offset);
}

}  // namespace padsim
