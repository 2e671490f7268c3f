#include "ArrivalTimes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace testsupport {

TimedMessages SplitArrivalTimes(const std::vector<std::string>& frames) {
    static const std::string kTimeKey = ",\"T\":";
    TimedMessages split;
    for (const std::string& frame : frames) {
        const size_t at = frame.find(kTimeKey);
        const size_t from = at + kTimeKey.size();
        const std::string digits = at == std::string::npos || !frame.ends_with('}')
                                       ? ""
                                       : frame.substr(from, frame.size() - 1 - from);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            split.plain.push_back(frame);
            continue;
        }
        split.plain.push_back(frame.substr(0, at) + "}");
        split.times.push_back(std::stoll(digits));
    }
    return split;
}

void ExpectPadPace(const std::vector<long long>& times, int stepMs) {
    ASSERT_GE(times.size(), 3u);
    std::vector<long long> steps;
    for (size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], times[i - 1]) << "the time went back at point " << i;
        steps.push_back(times[i] - times[i - 1]);
    }
    std::sort(steps.begin(), steps.end());
    const long long median = steps[steps.size() / 2];
    std::printf(
        "arrival times of %zu points: median step %lld ms, steps of 0 ms %zu, largest %lld ms\n",
        times.size(), median,
        static_cast<size_t>(std::upper_bound(steps.begin(), steps.end(), 0) - steps.begin()),
        steps.back());
    EXPECT_NEAR(median, stepMs, 1) << "median step between points";
}

}  // namespace testsupport
