#include "nmclient/SessionVerdict.h"

namespace nmclient {

void SessionVerdict::OnFrame(const HostMessage& message) {
    ++frames_;
    if (goodbyeSeen_) {
        framesAfterGoodbye_ = true;
    }
    switch (message.kind) {
        case MessageKind::kMalformed:
            NoteBadFrame("frame " + std::to_string(frames_) + ": " + message.problem);
            break;
        case MessageKind::kOpenReply:
            if (!openReply_) {
                openReply_ = message;
            }
            break;
        case MessageKind::kPoint:
            ++points_;
            if (!openReply_) {
                NoteBadFrame("frame " + std::to_string(frames_) + ": POINT before the OPEN reply");
            }
            break;
        case MessageKind::kGoodbye:
            goodbyeSeen_ = true;
            break;
        case MessageKind::kOther:
            break;
    }
}

void SessionVerdict::OnBadFraming(std::string why) {
    NoteBadFrame(std::move(why));
}

void SessionVerdict::NoteBadFrame(std::string why) {
    if (!badFrame_) {
        badFrame_ = std::move(why);
    }
}

void SessionVerdict::OnHostExit(std::optional<int> code, std::string how) {
    exitCode_ = code;
    exitDescription_ = std::move(how);
}

Verdict SessionVerdict::Result() const {
    if (startFailure_) {
        return {kExitCouldNotStart, "could not start the host: " + *startFailure_};
    }
    if (badFrame_) {
        return {kExitBadFrame, "bad frame: " + *badFrame_};
    }
    if (!openReply_) {
        return {kExitNoOpenReply, "no OPEN reply"};
    }
    if (!goodbyeSeen_) {
        return {kExitMissingGoodbye, "no goodbye frame"};
    }
    if (framesAfterGoodbye_) {
        return {kExitMissingGoodbye, "frames after the goodbye"};
    }
    if (exitCode_ != 0) {
        return {kExitHostExitCode, "the host " + exitDescription_};
    }
    if (expectedStatus_ && openReply_->status != *expectedStatus_) {
        return {kExitStatusMismatch, "OPEN status " + std::to_string(openReply_->status) +
                                         ", expected " + std::to_string(*expectedStatus_)};
    }
    if (pointsWanted_ && points_ < *pointsWanted_) {
        return {kExitTooFewPoints, std::to_string(points_) + " POINT messages of the " +
                                       std::to_string(*pointsWanted_) + " wanted"};
    }
    return {};
}

}  // namespace nmclient
