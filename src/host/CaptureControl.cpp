#include "host/CaptureControl.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "host/MessageFraming.h"
#include "host/PointPump.h"
#include "host/SettingsFilePath.h"
#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/Directories.h"
#include "platform/Process.h"
#include "tablet/ProfileReader.h"
#include "tablet/SettingsReport.h"
#include "tablet/Tablet.h"

namespace {

constexpr auto kOpenRetryDelay = std::chrono::milliseconds(500);
constexpr auto kPumpStopWait = std::chrono::milliseconds(500);

// The capture state; only the main thread writes it. A new PumpControl for every capture.
std::unique_ptr<PumpControl> pump;
std::unique_ptr<Tablet> tabletOwner;
std::thread pumpThread;
TabletSettings hostSettings;

void Trace(const char* text) {
    platform::OutputDebugText(text);
}

// The pad's numbers, for the reply to OPEN2.
struct PadNumbers {
    int32_t serial = 0;
    int32_t model = 0;
};

void SendOpenReply(OpenRequest request, int status, int maxX, int maxY, PadNumbers numbers = {}) {
    char reply[192];
    const int length =
        std::snprintf(reply, sizeof reply,
                      "{\"command\":\"OPEN\",\"status\":%i,\"device\":%i,\"maxx\":%i,\"maxy\":%i}",
                      status, status, maxX, maxY);
    if (request == OpenRequest::Rich) {
        std::snprintf(reply + length - 1, sizeof reply - static_cast<size_t>(length - 1),
                      ",\"serial\":%li,\"model\":%li,\"protocol\":%i}",
                      static_cast<long>(numbers.serial), static_cast<long>(numbers.model),
                      kRichCaptureProtocol);
    }
    Trace(reply);
    SendToBrowser(reply);
}

void DestroyTablet() {
    pump->currentTablet = nullptr;
    tabletOwner.reset();
}

// A new Tablet, or nothing when the system cannot give it the memory it needs.
std::unique_ptr<Tablet> CreateTablet() {
    try {
        return std::make_unique<Tablet>();
    } catch (const std::exception&) {
        return nullptr;
    }
}

// A settings file that gives nothing but defaults is said once, for whoever reads the trace: the
// default serial port may even look connected.
void TraceUselessSettings(const std::string& settingsPath) {
    const std::string reason = UselessSettingsReason(ProfileReader::FromFile(settingsPath));
    if (!reason.empty()) {
        Trace(("Lumarq Orvane Sign Native Messaging Host :: " + settingsPath + ": " + reason)
                  .c_str());
    }
}

}  // namespace

bool OpenWithOneRetry(Tablet& tablet) {
    if (tablet.OpenTablet()) {
        return true;
    }
    std::this_thread::sleep_for(kOpenRetryDelay);
    return tablet.OpenTablet();
}

bool CaptureIsRunning() {
    return tabletOwner != nullptr;
}

void StartCaptureLumarq(OpenRequest request) {
    // A second OPEN during a capture starts afresh: the running capture is stopped first, so
    // that never two pumps or two Tablets serve the pad.
    StopCapture();

    const std::string settingsPath = SettingsFilePath();
    Trace("Lumarq Orvane Sign Native Messaging Host: Checking for Inkora INI file exists...");
    if (!platform::CanOpenForReading(settingsPath)) {
        return;
    }
    TraceUselessSettings(settingsPath);
    Trace("Lumarq Orvane Sign Native Messaging Host :: Checking for Lumarq device...");
    tabletOwner = CreateTablet();
    if (tabletOwner == nullptr) {
        return;
    }
    Tablet& tablet = *tabletOwner;
    pump = std::make_unique<PumpControl>();
    pump->currentTablet = &tablet;
    pump->richCapture = request == OpenRequest::Rich;

    TabletSettings settings;
    tablet.GetTabletSettings(settings);
    settings.CheckConnectedOnOpen = true;
    tablet.SetTabletSettings(settings);

    Trace(
        "Lumarq Orvane Sign Native Messaging Host:: Checking if a Lumarq device is "
        "connected...");
    if (!tablet.CheckTabletConnected()) {
        SendOpenReply(request, 0, 0, 0);
        Trace(
            "Lumarq Orvane Sign Native Messaging Host :: CQuennelInkCtrl :: Lumarq drivers are "
            "installed, but device is not connected.");
        DestroyTablet();
        return;
    }
    Trace(
        "Lumarq Orvane Sign Native Messaging Host :: StartCaptureLumarq :: Trying to open a "
        "connection with the Lumarq device.");
    if (!OpenWithOneRetry(tablet)) {
        Trace(
            "Lumarq Orvane Sign Native Messaging Host :: StartCaptureLumarq :: Failed to open a "
            "connection with the Lumarq device.");
        platform::EndProcess(0);
    }
    Trace(
        "Lumarq Orvane Sign Native Messaging Host:: StartCaptureLumarq :: Getting the Serial "
        "Number and Model Number of the connected Lumarq device.");
    tablet.GetSerialNumber();
    tablet.GetSerialNumber();
    tablet.GetModelNumber();
    tablet.GetTabletSettings(hostSettings);
    // The times of the richer capture count from here: the browser learns of the open now.
    pump->openedAt = platform::TimeGetTime();
    SendOpenReply(request, 1, hostSettings.TabletLogicalXSize, hostSettings.TabletLogicalYSize,
                  {tablet.serialNumber, tablet.modelNumber});

    try {
        pumpThread = std::thread(PointPump, std::ref(*pump));
    } catch (const std::exception&) {
        Trace(
            "Lumarq Orvane Sign Native Messaging Host :: Couldn't create thread to process "
            "data.");
        platform::EndProcess(0);
    }
    Trace("Lumarq Orvane Sign Native Messaging Host :: Lumarq device is connected.");
}

void StopCapture() {
    if (!CaptureIsRunning()) {
        return;
    }
    StopPointPump(*pump);
    // The pump ends within one pass unless its write waits for a browser that has stopped
    // reading. The pad is closed and released after the wait all the same: the pump no longer
    // takes points from it, and its last frame still leaves whole before anything else.
    if (!WaitForPumpEnd(*pump, kPumpStopWait)) {
        Trace(
            "Lumarq Orvane Sign Native Messaging Host :: The point pump did not end within 500 ms: "
            "closing the pad all the same.");
    }
    {
        std::lock_guard<std::mutex> notInUse(pump->tabletInUse);
        tabletOwner->CloseTablet();
        DestroyTablet();
    }
    if (pumpThread.joinable()) {
        pumpThread.join();
    }
}
