#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "HostMessages.h"
#include "HostSession.h"
#include "LoopbackPeer.h"
#include "ProcEntries.h"
#include "ProcessResources.h"
#include "TemporaryRoot.h"

// A long capture at a real pad's pace: padsim's bridge signs its burst pattern at 200 points/s
// through the host's TCP listener while the test reads every POINT message as the browser does
// and watches the host's resident memory, descriptors and threads in /proc once a second.
namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

constexpr bool kSanitizedBuild = HOST_SANITIZED_BUILD;
constexpr uint64_t kPointsPerSecond = 200;
constexpr int kDefaultSeconds = 60;
// How much the peak resident memory of the last window may exceed the first window's.
constexpr long kRssAllowanceKiB = 64;
// A pad at 200 points/s never pauses this long; the host has stopped delivering.
constexpr Milliseconds kStallLimit = 5000ms;
const std::string kIdentity = "soak-bridge";

// The run's length in seconds: INKORA_SOAK_SECONDS when it holds a whole number of at least 8
// (two seconds per quarter window at the least), else 60.
int SoakSeconds() {
    const char* text = std::getenv("INKORA_SOAK_SECONDS");
    if (text == nullptr || *text == '\0') {
        return kDefaultSeconds;
    }
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds < 8 || seconds > 24 * 3600) {
        ADD_FAILURE() << "INKORA_SOAK_SECONDS must be a whole number of seconds, 8 to 86400: "
                      << text;
        return kDefaultSeconds;
    }
    return static_cast<int>(seconds);
}

// Burst point `index` of `count` as the host must deliver it under its default window and
// logical size: the pad point that padsim's pattern puts there (x walks the window's width, y
// steps 5 pad units per row and wraps after the window's height), mapped independently of the
// host; index == count is the lift at the last point's place.
std::string ExpectedBurstMessage(uint64_t index, uint64_t count) {
    constexpr uint64_t kWidth = 2650 - 500;
    constexpr uint64_t kRows = (2100 - 350) / 5;
    const bool lift = index >= count;
    const uint64_t i = lift ? count - 1 : index;
    const auto x = static_cast<int>(500 + i % kWidth);
    const auto y = static_cast<int>(350 + 5 * (i / kWidth % kRows));
    const auto [logicalX, logicalY] = DefaultLogicalPoint(x, y);
    return PointMessage(logicalX, logicalY, lift ? 0 : 1);
}

// One look at the host process, `seconds` after its first point.
struct Sample : ProcessResources {
    double seconds = 0;
};

// The host's descriptors and what each refers to, for a failure's message.
std::string DescriptorList(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    std::string text;
    for (const std::string& name : ProcEntries(folder)) {
        char target[256] = {};
        if (readlink((folder + "/" + name).c_str(), target, sizeof target - 1) >= 0) {
            text += "\n  " + name + " -> " + target;
        }
    }
    return text;
}

Sample Look(pid_t pid, double seconds) {
    Sample sample;
    static_cast<ProcessResources&>(sample) = ResourcesOf(pid);
    sample.seconds = seconds;
    return sample;
}

// The memory windows: the first and the last minute of the capture. A run shorter than two
// minutes compares its first and last quarter instead, so that the two windows never overlap
// and the first still spans the start-up growth (buffers touched for the first time) while the
// last shows where steady signing has taken the memory.
double WindowSeconds(double captureSeconds) {
    return captureSeconds >= 120 ? 60.0 : captureSeconds / 4;
}

long PeakKiB(const std::vector<Sample>& samples, double from, double to) {
    long peak = -1;
    for (const Sample& s : samples) {
        if (s.seconds >= from && s.seconds <= to) {
            peak = std::max(peak, s.residentKiB);
        }
    }
    return peak;
}

std::pair<long, long> Range(const std::vector<Sample>& samples, long ProcessResources::*field) {
    const auto [least, most] = std::minmax_element(
        samples.begin(), samples.end(),
        [field](const Sample& a, const Sample& b) { return a.*field < b.*field; });
    return {(*least).*field, (*most).*field};
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string RssText(const std::vector<Sample>& samples) {
    std::string text;
    for (const Sample& s : samples) {
        text +=
            " " + std::to_string(static_cast<int>(s.seconds)) + " " + std::to_string(s.residentKiB);
    }
    return text;
}

TEST(Soak, SigningAtAPadsPaceKeepsEveryPointAndTheHostsResourcesFlat) {
    if (kSanitizedBuild) {
        GTEST_SKIP() << "the sanitizers' runtimes grow memory on their own schedule";
    }
    const int seconds = SoakSeconds();
    const uint64_t count = kPointsPerSecond * static_cast<uint64_t>(seconds);

    TemporaryRoot root;
    const uint16_t port = loopback::FreePort();
    // The listener listens on SocketPort + 1. No diagnostic log and no trace lines: the host
    // runs as a browser starts it.
    root.WriteSettings("[Tablet]\nTabletType=7\nSocketPort=" + std::to_string(port - 1) +
                       "\nSocketTimeout=5000\nTabletPortPath=" + kIdentity + "\n");
    // The burst starts once the open has asked for the numbers, and half a second later, when
    // the host's pump runs.
    ChildProcess padsim({PADSIM_BINARY, "bridge", "--port", std::to_string(port), "--identity",
                         kIdentity, "--burst", std::to_string(count), "--rate",
                         std::to_string(kPointsPerSecond), "--start-after", "1", "--delay", "500",
                         "--time-limit", std::to_string(seconds + 60)});
    HostSession host({HostBinary()}, {{"INKORA_ROOT", root.path()}, {"INKORA_TRACE", "0"}});
    const pid_t pid = host.process().pid();
    host.SendOpen();
    ASSERT_EQ(host.ReadFrame(10000ms), kDefaultOpenReply);

    // Every message is compared with the one expected at its place, so a lost, repeated,
    // reordered or altered point stops the run where it happened. The samples start with the
    // first point, once the capture's threads and connection are all in place.
    std::vector<Sample> samples;
    Clock::time_point firstPoint;
    Clock::time_point nextLook;
    std::string descriptorsAtStart;
    uint64_t received = 0;
    while (received <= count) {
        const std::optional<std::string> frame = host.ReadFrame(kStallLimit);
        ASSERT_TRUE(frame) << "no message for " << kStallLimit.count() << " ms after " << received
                           << " of " << count + 1 << " points\npadsim: " << padsim.ErrorOutput();
        ASSERT_EQ(*frame, ExpectedBurstMessage(received, count)) << "message " << received;
        const Clock::time_point now = Clock::now();
        if (received == 0) {
            firstPoint = nextLook = now;
            descriptorsAtStart = DescriptorList(pid);
        }
        ++received;
        if (now >= nextLook || received > count) {
            samples.push_back(Look(pid, std::chrono::duration<double>(now - firstPoint).count()));
            nextLook += 1s;
        }
    }
    EXPECT_EQ(host.process().Read(1, 500ms), "") << "messages after the lift";
    const std::string descriptorsAtEnd = DescriptorList(pid);
    const double captureSeconds = samples.back().seconds;

    const Sample& start = samples.front();
    ASSERT_GT(start.residentKiB, 0) << "cannot read /proc/" << pid << "/status";
    ASSERT_GT(start.descriptors, 0) << "cannot read /proc/" << pid << "/fd";
    ASSERT_GT(start.threads, 0) << "cannot read /proc/" << pid << "/task";
    // The first look that differs from the one at the first point, if any.
    const auto firstChange = [&](long ProcessResources::*field) -> const Sample* {
        for (const Sample& s : samples) {
            if (s.*field != start.*field) {
                return &s;
            }
        }
        return nullptr;
    };
    if (const Sample* changed = firstChange(&ProcessResources::descriptors)) {
        ADD_FAILURE() << "descriptors: " << start.descriptors << " at the first point, "
                      << changed->descriptors << " at " << Seconds(changed->seconds)
                      << "\nat the first point:" << descriptorsAtStart
                      << "\nat the last:" << descriptorsAtEnd;
    }
    if (const Sample* changed = firstChange(&ProcessResources::threads)) {
        ADD_FAILURE() << "threads: " << start.threads << " at the first point, " << changed->threads
                      << " at " << Seconds(changed->seconds);
    }
    const auto [leastDescriptors, mostDescriptors] = Range(samples, &ProcessResources::descriptors);
    const auto [leastThreads, mostThreads] = Range(samples, &ProcessResources::threads);
    // Only growth counts: a window whose peak is lower saw pages reclaimed by the kernel, not
    // a leak.
    const double window = WindowSeconds(captureSeconds);
    const long firstPeak = PeakKiB(samples, 0, window);
    const long lastPeak = PeakKiB(samples, captureSeconds - window, captureSeconds);
    EXPECT_LE(lastPeak, firstPeak + kRssAllowanceKiB)
        << "resident memory grew while signing; samples (s KiB):" << RssText(samples);

    std::printf("soak: %llu points in %.1f s, every one exact and in order\n",
                static_cast<unsigned long long>(received), captureSeconds);
    std::printf(
        "soak: resident memory peak %ld KiB in the first %.0f s, %ld KiB in the last %.0f s "
        "(%+ld KiB; allowance %ld KiB); %zu samples\n",
        firstPeak, window, lastPeak, window, lastPeak - firstPeak, kRssAllowanceKiB,
        samples.size());
    std::printf(
        "soak: descriptors %ld..%ld (those inherited from the test included), threads %ld..%ld\n",
        leastDescriptors, mostDescriptors, leastThreads, mostThreads);
    std::fflush(stdout);

    host.CloseExpectingGoodbyeLast();
}

}  // namespace
