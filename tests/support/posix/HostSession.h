#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "HostMessages.h"
#include "TemporaryRoot.h"

namespace testsupport {

// The host binary running under a temporary root, spoken to in frames.
class HostSession {
public:
    // The host under the root, with its trace lines on standard error.
    explicit HostSession(const TemporaryRoot& root, ChildProcess::ChildSetUp setUp = nullptr);
    // A host started by another command line, for instance under an emulator.
    HostSession(const std::vector<std::string>& argv, const ChildProcess::Environment& environment,
                ChildProcess::ChildSetUp setUp = nullptr);

    ChildProcess& process() { return *process_; }
    bool Send(const std::string& text);
    bool SendOpen() { return Send("{\"command\":\"OPEN\"}"); }
    bool SendClose() { return Send("{\"command\":\"CLOSE\"}"); }
    // The text of the next frame, or nothing when none arrives whole within the timeout.
    std::optional<std::string> ReadFrame(Milliseconds timeout = 5000ms);
    // Up to `count` frames, fewer when the output ends or the timeout passes first.
    std::vector<std::string> ReadFrames(size_t count, Milliseconds timeout = 10000ms);
    // Sends CLOSE and reads to the end of the output; expects the goodbye as the last frame and
    // exit code 0. Returns how long the goodbye took to come.
    Milliseconds CloseExpectingGoodbyeLast();

private:
    std::unique_ptr<ChildProcess> process_;
};

std::string HostBinary();
// The environment of a host under the root, with its trace lines on standard error.
ChildProcess::Environment HostEnvironment(const TemporaryRoot& root);

}  // namespace testsupport
