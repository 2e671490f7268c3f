#include "ArrivalTimes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace testsupport {

TimedPoint SplitArrivalTime(const std::string& frame) {
    static const std::string kTimeKey = ",\"T\":";
    const size_t at = frame.find(kTimeKey);
    if (at == std::string::npos || !frame.ends_with('}')) {
        return {frame, -1};
    }
    const std::string digits =
        frame.substr(at + kTimeKey.size(), frame.size() - 1 - at - kTimeKey.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return {frame, -1};
    }
    return {frame.substr(0, at) + "}", std::stoll(digits)};
}

void ExpectPadPace(const std::vector<long long>& times, int stepMs) {
    ASSERT_GE(times.size(), 3u);
    std::vector<long long> steps;
    for (size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], times[i - 1]) << "the time went back at point " << i;
        steps.push_back(times[i] - times[i - 1]);
    }
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    EXPECT_NEAR(steps[steps.size() / 2], stepMs, 1) << "median step between points";
}

}  // namespace testsupport
