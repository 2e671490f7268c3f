#include "host/CommandLoop.h"

#include <string>
#include <string_view>

#include "host/CaptureControl.h"
#include "host/MessageFraming.h"
#include "host/SingleInstance.h"
#include "platform/DebugOutput.h"
#include "platform/Process.h"
#include "platform/Termination.h"
#include "tablet/DiagnosticLog.h"

namespace {

constexpr std::string_view kOpenCommand = "{\"command\":\"OPEN\"}";
// The richer capture; a host that does not know it ignores it, as any other text.
constexpr std::string_view kRichOpenCommand = "{\"command\":\"OPEN2\"}";
constexpr std::string_view kCloseCommand = "{\"command\":\"CLOSE\"}";
constexpr const char* kGoodbye = "{\"text\":\"EXITING...\"}";
constexpr const char* kFrameworkFailure = "Fatal Error: MFC initialization failed.";

void Trace(const char* text) {
    platform::OutputDebugText(text);
}

// CLOSE: stop what runs, say goodbye. The caller ends the process.
void CloseProcedure() {
    Trace("Message is STOP");
    StopCapture();
    SendToBrowser(kGoodbye);
}

int ServeCommands(platform::NamedInstanceLock& instanceLock) {
    for (;;) {
        const std::optional<std::string> body = ReadBrowserMessage();
        if (!body) {
            Trace("JSON Input string exceeded the max Length.");
            if (CaptureIsRunning()) {
                // The capture is not stopped: ending the process ends its threads with it.
                platform::EndProcess(0);
            }
            return 0;
        }
        Trace(body->c_str());  // up to its first zero byte
        if (*body == kOpenCommand) {
            StartCaptureLumarq(OpenRequest::Plain);
        }
        if (*body == kRichOpenCommand) {
            StartCaptureLumarq(OpenRequest::Rich);
        }
        if (*body == kCloseCommand) {
            CloseProcedure();
            instanceLock.Close();
            return 0;
        }
    }
}

}  // namespace

int RunHost() {
    const std::unique_ptr<platform::NamedInstanceLock> instanceLock = TakeSingleInstance();
    if (instanceLock == nullptr) {
        return 1;
    }
    if (!platform::InitialiseProcess()) {
        SendToBrowser(kFrameworkFailure);
        instanceLock->Close();
        return 1;
    }
    // A browser that is closed, or a session that ends, asks the host to terminate: the log line
    // in progress is finished first, so that the log is never left with half a line.
    platform::HandleTerminationRequests(HoldLogForProcessEnd);
    return ServeCommands(*instanceLock);
}
