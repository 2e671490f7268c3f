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
    // A busy machine holds the host up now and then: the points that arrived meanwhile share
    // one time and the next step is longer. Steps over ten points even that out, and their
    // median is the pad's pace however the single steps bunch.
    constexpr size_t kSpan = 10;
    ASSERT_GT(times.size(), 2 * kSpan);
    std::vector<long long> steps;
    std::vector<double> spanSteps;
    for (size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], times[i - 1]) << "the time went back at point " << i;
        steps.push_back(times[i] - times[i - 1]);
        if (i >= kSpan) {
            spanSteps.push_back(static_cast<double>(times[i] - times[i - kSpan]) / kSpan);
        }
    }
    std::sort(steps.begin(), steps.end());
    std::sort(spanSteps.begin(), spanSteps.end());
    const double spanMedian = spanSteps[spanSteps.size() / 2];
    std::printf(
        "arrival times of %zu points: median step %lld ms (over ten points %.1f ms), steps of "
        "0 ms %zu, largest %lld ms\n",
        times.size(), steps[steps.size() / 2], spanMedian,
        static_cast<size_t>(std::upper_bound(steps.begin(), steps.end(), 0) - steps.begin()),
        steps.back());
    EXPECT_NEAR(spanMedian, stepMs, 1) << "median step between points, over ten points";
}

}  // namespace testsupport
