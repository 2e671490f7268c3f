#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "nmclient/HostMessages.h"

namespace nmclient {

// Exit codes: whether the session went as the protocol says, and if not, what broke first.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSvgFailed = 1;      // the session was fine but the SVG file was not
inline constexpr int kExitUsage = 2;          // bad command line
inline constexpr int kExitCouldNotStart = 3;  // the host could not be started
inline constexpr int kExitNoOpenReply = 4;
inline constexpr int kExitBadFrame = 5;
inline constexpr int kExitMissingGoodbye = 6;  // no goodbye, or frames after it
inline constexpr int kExitHostExitCode = 7;    // not 0, killed by a signal, or did not end
inline constexpr int kExitStatusMismatch = 8;  // the OPEN reply's status differs from the expected
inline constexpr int kExitTooFewPoints = 9;    // --points not reached before --timeout

struct Verdict {
    int exitCode = kExitOk;
    std::string reason;  // empty when all went well
};

// Follows one session from the frames the host sent to its exit, and judges it.
class SessionVerdict {
public:
    void ExpectStatus(int64_t status) { expectedStatus_ = status; }
    void WantPoints(uint64_t count) { pointsWanted_ = count; }

    void OnStartFailure(std::string why) { startFailure_ = std::move(why); }
    void OnFrame(const HostMessage& message);
    // The output's framing broke (too long a length, or a frame cut off at the end).
    void OnBadFraming(std::string why);
    // The host's exit code; nothing when it was killed or did not end.
    void OnHostExit(std::optional<int> code, std::string how);

    Verdict Result() const;

    bool openReplySeen() const { return openReply_.has_value(); }
    const std::optional<HostMessage>& openReply() const { return openReply_; }
    uint64_t points() const { return points_; }
    uint64_t frames() const { return frames_; }
    bool goodbyeSeen() const { return goodbyeSeen_; }

private:
    void NoteBadFrame(std::string why);

    std::optional<int64_t> expectedStatus_;
    std::optional<uint64_t> pointsWanted_;
    std::optional<std::string> startFailure_;
    std::optional<std::string> badFrame_;
    std::optional<HostMessage> openReply_;
    uint64_t frames_ = 0;
    uint64_t points_ = 0;
    bool goodbyeSeen_ = false;
    bool framesAfterGoodbye_ = false;
    std::optional<int> exitCode_;
    std::string exitDescription_ = "did not end";
};

}  // namespace nmclient
