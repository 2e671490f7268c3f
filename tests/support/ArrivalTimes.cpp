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
    // A busy machine holds the pad simulator or the host up now and then (once 676 ms under
    // Wine): the points that arrive meanwhile share one time, and the single steps can be 0 ms
    // for most of a run. The simulator keeps its pace by deadlines and catches up, so the
    // whole run's span still gives the pad's pace; only a hold at its very start or end moves
    // it, by at most a step per 400 ms over 400 points.
    ASSERT_GE(times.size(), 3u);
    std::vector<long long> steps;
    for (size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], times[i - 1]) << "the time went back at point " << i;
        steps.push_back(times[i] - times[i - 1]);
    }
    // Points that came while the host still asked for the numbers count 0: the run starts
    // after them.
    const size_t first = static_cast<size_t>(
        std::find_if(times.begin(), times.end(), [](long long t) { return t > 0; }) -
        times.begin());
    ASSERT_LT(first + 2, times.size()) << "no times after the OPEN reply";
    const double meanStep = static_cast<double>(times.back() - times[first]) /
                            static_cast<double>(times.size() - 1 - first);
    std::sort(steps.begin(), steps.end());
    std::printf(
        "arrival times of %zu points: median step %lld ms, mean %.2f ms, steps of 0 ms %zu, "
        "largest %lld ms\n",
        times.size(), steps[steps.size() / 2], meanStep,
        static_cast<size_t>(std::upper_bound(steps.begin(), steps.end(), 0) - steps.begin()),
        steps.back());
    EXPECT_NEAR(meanStep, stepMs, 1) << "step between points over the whole run";
}

}  // namespace testsupport
