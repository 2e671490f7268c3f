#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace testsupport {

// A temporary directory standing for the Windows drive: windows/ (for Inkora.ini) and temp/
// (for the diagnostic log and the instance lock). Removed with everything in it at the end.
class TemporaryRoot {
public:
    TemporaryRoot();
    ~TemporaryRoot();
    TemporaryRoot(const TemporaryRoot&) = delete;
    TemporaryRoot& operator=(const TemporaryRoot&) = delete;

    const std::string& path() const { return path_; }
    std::string WindowsPath(const std::string& name) const { return path_ + "/windows/" + name; }
    std::string TempPath(const std::string& name) const { return path_ + "/temp/" + name; }
    void WriteSettings(const std::string& iniText) const;
    static std::string ReadFile(const std::string& path);

private:
    std::string path_;
};

// The host binary running under a temporary root, spoken to in frames.
class HostSession {
public:
    explicit HostSession(const TemporaryRoot& root);
    // A host started by another command line, for instance under an emulator.
    HostSession(const std::vector<std::string>& argv, const ChildProcess::Environment& environment);

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

std::string Frame(const std::string& text);
std::string HostBinary();

}  // namespace testsupport

namespace testsupport {

// A temporary root that INKORA_ROOT names for as long as it lives, for tests that build a
// Tablet in their own process.
class ScopedInkoraRoot : public TemporaryRoot {
public:
    ScopedInkoraRoot();
    ~ScopedInkoraRoot();
};

}  // namespace testsupport
