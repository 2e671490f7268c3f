#include "nmclient/Client.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace nmclient {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kOpenCommand = "{\"command\":\"OPEN\"}";
constexpr std::string_view kCloseCommand = "{\"command\":\"CLOSE\"}";
constexpr milliseconds kReadWait(50);
constexpr milliseconds kProgressInterval(100);

volatile sig_atomic_t stopSignals = 0;

void OnStopSignal(int) {
    stopSignals = stopSignals + 1;
}

milliseconds Seconds(double seconds) {
    return milliseconds(static_cast<int64_t>(seconds * 1000));
}

void Note(const std::string& text) {
    std::fprintf(stderr, "nmclient: %s\n", text.c_str());
}

}  // namespace

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

Client::Client(ClientOptions options) : options_(std::move(options)) {
    if (options_.hostBinary.empty()) {
        options_.hostBinary = DefaultHostBinary();
    }
    if (options_.expectStatus) {
        verdict_.ExpectStatus(*options_.expectStatus);
    }
    if (options_.points) {
        verdict_.WantPoints(*options_.points);
    }
}

int Client::Run() {
    std::string error;
    if (!host_.Start(options_.hostBinary, options_.hostStderrFile, error)) {
        verdict_.OnStartFailure(error);
    } else {
        openSent_ = Clock::now();
        host_.Write(EncodeFrame(kOpenCommand));
        ReadUntilTimeToClose();
        CloseAndWait();
    }
    ShowProgress(true);
    const Verdict verdict = verdict_.Result();
    Report(verdict);
    if (!WriteSvgFile() && verdict.exitCode == kExitOk) {
        return kExitSvgFailed;
    }
    return verdict.exitCode;
}

bool Client::TimeToClose(Clock::time_point openSent) const {
    const auto elapsed = Clock::now() - openSent;
    if (outputEnded_ || reader_.broken() || stopSignals > 0) {
        return true;
    }
    if (options_.durationSeconds && elapsed >= Seconds(*options_.durationSeconds)) {
        return true;
    }
    if (options_.points && verdict_.points() >= *options_.points) {
        return true;
    }
    return options_.timeoutSeconds > 0 && elapsed >= Seconds(options_.timeoutSeconds);
}

void Client::ReadUntilTimeToClose() {
    while (!TimeToClose(openSent_)) {
        ReadOutput(kReadWait);
    }
}

void Client::CloseAndWait() {
    host_.Write(EncodeFrame(kCloseCommand));
    host_.CloseInput();
    const int signalsBefore = stopSignals;
    const auto deadline = Clock::now() + Seconds(options_.closeTimeoutSeconds);
    while (!outputEnded_ && !reader_.broken() && Clock::now() < deadline &&
           stopSignals == signalsBefore) {
        ReadOutput(kReadWait);
    }
    if (!outputEnded_) {
        Note("the host's output did not end after CLOSE");
    }
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    HostProcess::Outcome outcome = host_.Wait(std::max(left, milliseconds(0)));
    if (!outcome.ended) {
        host_.Kill();
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", options_.closeTimeoutSeconds);
        outcome.how = std::string("did not end within ") + seconds + " s after CLOSE";
    }
    verdict_.OnHostExit(outcome.exitCode, outcome.how);
    if (options_.stats && outcome.ended) {
        std::fprintf(stderr,
                     "nmclient: host used %.3f s user, %.3f s system, peak resident %ld KiB\n",
                     outcome.userSeconds, outcome.systemSeconds, outcome.peakResidentKiB);
    }
    if (options_.stats && openAnswered_) {
        std::fprintf(stderr, "nmclient: OPEN answered after %.1f ms\n",
                     std::chrono::duration<double, std::milli>(*openAnswered_).count());
    }
}

void Client::ReadOutput(milliseconds wait) {
    pollfd entry{host_.outputFd(), POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(wait.count())) <= 0) {
        return;
    }
    uint8_t buffer[65536];
    const ssize_t n = read(host_.outputFd(), buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        OnOutputEnd();
        return;
    }
    if (n < 0) {
        return;
    }
    std::vector<std::string> frames;
    if (!reader_.Feed(buffer, static_cast<size_t>(n), frames)) {
        verdict_.OnBadFraming("frame length " + std::to_string(reader_.badLength()) +
                              " is above 1 MiB");
    }
    for (const std::string& text : frames) {
        OnFrame(text);
    }
    std::fflush(stdout);
    ShowProgress(false);
}

void Client::OnOutputEnd() {
    outputEnded_ = true;
    if (!reader_.Finish() && !reader_.broken()) {
        verdict_.OnBadFraming("the output ended inside a frame (" +
                              std::to_string(reader_.pendingBytes()) + " bytes left)");
    }
}

void Client::OnFrame(const std::string& text) {
    const HostMessage message = ClassifyFrame(text);
    if (message.kind == MessageKind::kOpenReply && !openAnswered_) {
        openAnswered_ = Clock::now() - openSent_;
    }
    verdict_.OnFrame(message);
    if (message.kind == MessageKind::kPoint) {
        captured_.push_back({message.x, message.y, message.down});
    }
    if (!options_.quiet) {
        if (progressOnScreen_ && message.kind != MessageKind::kPoint) {
            // A message other than a point gets a line of its own, after the count's line has
            // been ended with the count so far.
            ShowProgress(true);
        }
        if (options_.progress && message.kind == MessageKind::kPoint) {
            return;  // the count stands for the points' lines
        }
        const std::string line = JsonLine(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        if (options_.progress) {
            std::fflush(stdout);  // before the count's next redraw on standard error
        }
    }
}

// The count is redrawn only when it has changed, so that after a message other than a point
// has ended its line, no later redraw lands after that message: the messages reach a terminal
// through whatever reads standard output (a pipe, later) while the count goes to it at once.
void Client::ShowProgress(bool final) {
    if (!options_.progress) {
        return;
    }
    const unsigned long long points = verdict_.points();
    const auto now = Clock::now();
    if (final) {
        if (!progressOnScreen_ && shownCount_ == points && countShownOnce_) {
            return;
        }
    } else if (points == shownCount_ || now - lastProgress_ < kProgressInterval) {
        return;
    }
    lastProgress_ = now;
    shownCount_ = points;
    countShownOnce_ = true;
    std::fprintf(stderr, "\rnmclient: %llu points%s", points, final ? "\n" : "");
    std::fflush(stderr);
    progressOnScreen_ = !final;
}

bool Client::WriteSvgFile() const {
    if (options_.svgFile.empty()) {
        return true;
    }
    const auto& reply = verdict_.openReply();
    const std::string svg =
        WriteSvg(BuildStrokes(captured_), reply ? reply->maxx : 0, reply ? reply->maxy : 0);
    std::ofstream file(options_.svgFile, std::ios::binary | std::ios::trunc);
    file << svg;
    if (!file.flush()) {
        Note("cannot write " + options_.svgFile);
        return false;
    }
    return true;
}

void Client::Report(const Verdict& verdict) const {
    std::string summary = std::to_string(verdict_.frames()) + " frames, " +
                          std::to_string(verdict_.points()) + " POINT messages";
    if (const auto& reply = verdict_.openReply()) {
        summary += ", OPEN status " + std::to_string(reply->status) + " (" +
                   std::to_string(reply->maxx) + " x " + std::to_string(reply->maxy) + ")";
    }
    summary += verdict_.goodbyeSeen() ? ", goodbye received" : ", no goodbye";
    Note(summary);
    if (verdict.exitCode != kExitOk) {
        Note("FAILED (exit code " + std::to_string(verdict.exitCode) + "): " + verdict.reason);
    }
}

}  // namespace nmclient
