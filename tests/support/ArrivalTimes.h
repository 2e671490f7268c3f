#pragma once

#include <string>
#include <vector>

// The times of the richer capture's POINT messages, as the end-to-end tests check them.
namespace testsupport {

// Messages with their "T" taken out, and the times found, in order.
struct TimedMessages {
    std::vector<std::string> plain;
    std::vector<long long> times;
};
TimedMessages SplitArrivalTimes(const std::vector<std::string>& frames);

// Expects the times never to decrease and to follow a pad that sends a point every `stepMs`:
// the step over the whole run within one millisecond of it.
void ExpectPadPace(const std::vector<long long>& times, int stepMs);

}  // namespace testsupport
