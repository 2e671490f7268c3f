#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "nmclient/BrowserFrames.h"
#include "nmclient/HostProcess.h"
#include "nmclient/Options.h"
#include "nmclient/SessionVerdict.h"
#include "nmclient/SvgWriter.h"

namespace nmclient {

// One browser session with the host: OPEN, the frames that follow, CLOSE, the host's end.
class Client {
public:
    explicit Client(ClientOptions options);
    // Runs the session and returns the exit code.
    int Run();

private:
    using Clock = std::chrono::steady_clock;

    bool TimeToClose(Clock::time_point openSent) const;
    void ReadUntilTimeToClose();
    void CloseAndWait();
    // Reads what the host wrote, waiting up to `wait`. Notes the end of the output.
    void ReadOutput(std::chrono::milliseconds wait);
    void OnOutputEnd();
    void OnFrame(const std::string& text);
    void ShowProgress(bool final);
    bool WriteSvgFile() const;
    void Report(const Verdict& verdict) const;

    ClientOptions options_;
    HostProcess host_;
    FrameReader reader_;
    SessionVerdict verdict_;
    std::vector<CapturedPoint> captured_;
    bool outputEnded_ = false;
    Clock::time_point lastProgress_{};
    bool progressOnScreen_ = false;      // a count on standard error waits for its line's end
    unsigned long long shownCount_ = 0;  // the count last written
    bool countShownOnce_ = false;
    Clock::time_point openSent_{};
    std::optional<Clock::duration> openAnswered_;  // from OPEN written to its reply read
};

// SIGINT and SIGTERM: the first sends CLOSE, the next stops waiting for the host.
void InstallSignalHandlers();

}  // namespace nmclient
