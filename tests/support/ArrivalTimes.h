#pragma once

#include <string>
#include <vector>

// The times of the richer capture's POINT messages, as the end-to-end tests check them.
namespace testsupport {

// A POINT message split into the plain message (without "T") and its time; time -1 when the
// message carries none.
struct TimedPoint {
    std::string plain;
    long long time = -1;
};
TimedPoint SplitArrivalTime(const std::string& frame);

// Expects the times never to decrease and to follow a pad that sends a point every `stepMs`:
// the median step between points within one millisecond of it.
void ExpectPadPace(const std::vector<long long>& times, int stepMs);

}  // namespace testsupport
