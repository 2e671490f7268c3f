#include "LatencyRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace probe {
namespace {

constexpr size_t kRowLength = 2150;
constexpr int kRowStep = 4;

int64_t Ns(std::chrono::steady_clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

}  // namespace

LatencyRecord::LatencyRecord(size_t points)
    : sentNs(new std::atomic<int64_t>[points]), receivedNs(points, -1) {
    for (size_t i = 0; i < points; ++i) {
        sentNs[i] = -1;
    }
}

void LatencyRecord::NoteSent(size_t index, std::chrono::steady_clock::time_point at) {
    sentNs[index].store(Ns(at), std::memory_order_relaxed);
}

bool LatencyRecord::NoteReceived(const std::string& frame,
                                 std::chrono::steady_clock::time_point at) {
    const std::optional<size_t> index = PointIndexOf(frame);
    if (!index || *index >= receivedNs.size()) {
        return false;
    }
    receivedNs[*index] = Ns(at);
    return true;
}

std::vector<double> LatencyRecord::LatenciesMs(size_t first, size_t last) const {
    std::vector<double> latencies;
    for (size_t i = first; i < last && i < receivedNs.size(); ++i) {
        const int64_t sent = sentNs[i].load(std::memory_order_relaxed);
        if (sent >= 0 && receivedNs[i] >= 0) {
            latencies.push_back(static_cast<double>(receivedNs[i] - sent) / 1e6);
        }
    }
    return latencies;
}

std::optional<size_t> PointIndexOf(const std::string& frame) {
    int x = -1;
    int y = -1;
    int p = -1;
    if (std::sscanf(frame.c_str(), "{\"command\":\"POINT\",\"X\":%d,\"Y\":%d,\"P\":%d}", &x, &y,
                    &p) != 3 ||
        x < 0 || y < 0 || y % kRowStep != 0) {
        return std::nullopt;
    }
    return static_cast<size_t>(x) + kRowLength * static_cast<size_t>(y / kRowStep);
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

}  // namespace probe
