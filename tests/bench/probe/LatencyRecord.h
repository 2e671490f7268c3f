#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace probe {

// When each point was sent, and how long its POINT frame took to become readable.
class LatencyRecord {
public:
    explicit LatencyRecord(size_t points);

    void NoteSent(size_t index, std::chrono::steady_clock::time_point at);
    // Matches a POINT frame to its point; false for a frame that is not one of them.
    bool NoteReceived(const std::string& frame, std::chrono::steady_clock::time_point at);
    // The latencies of points first to last - 1 that arrived, in milliseconds.
    std::vector<double> LatenciesMs(size_t first, size_t last) const;

private:
    std::unique_ptr<std::atomic<int64_t>[]> sentNs;
    std::vector<int64_t> receivedNs;
};

// The index of the point whose POINT frame this is, under the burst pattern: X = i mod 2150,
// Y = 4 * floor(i / 2150).
std::optional<size_t> PointIndexOf(const std::string& frame);

// The value below which the given fraction of the values lie (nearest rank).
double Percentile(std::vector<double> values, double fraction);

}  // namespace probe
