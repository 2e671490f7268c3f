#include "host/SelfCheck.h"

#include <cstdio>
#include <memory>
#include <string>

#include "host/CaptureControl.h"
#include "host/SettingsFilePath.h"
#include "host/SingleInstance.h"
#include "host/TransportDescription.h"
#include "platform/Directories.h"
#include "tablet/ProfileReader.h"
#include "tablet/SettingsReport.h"
#include "tablet/Tablet.h"

namespace {

// Where to look when the pad is not found or does not open.
const char* FailureHint(int kind) {
    switch (kind) {
        case kUsbPipeTransport:
            return "no device of the legacy USB pipe driver is present";
        case kTcpClientTransport:
            return "nobody accepted the connection";
        case kHidTransport:
            return "no such HID pad is present, or this user may not open it (the udev rule)";
        case kTcpListenerTransport:
            return "no bridge with that identity connected in time";
        case kNoTransport1:
        case kNoTransport4:
            return "the transport kind names no pad";
        default:
            return "the port does not exist, may not be opened by this user (the group dialout), "
                   "or the pad is off (no DSR)";
    }
}

// Why the numbers query is not sent to an open pad of this kind; nullptr when it is.
const char* NoQueryReason(const Tablet& tablet, int kind) {
    if (kind == kTcpClientTransport) {
        return "The pad server sends finished points and answers nothing";
    }
    if (tablet.CanWriteToPad()) {
        return nullptr;
    }
    return kind == kUsbPipeTransport
               ? "The legacy USB pipe driver takes no writes"
               : "This HID pad's output reports cannot carry the query's byte";
}

void PrintSettings(const ProfileReader& file, const TabletSettings& settings) {
    std::printf("Settings (the file's, or the default where it says nothing):\n");
    for (const SettingLine& line : DescribeSettings(file, settings)) {
        std::printf("  %-26s %-18s %s\n", line.key.c_str(), line.value.c_str(),
                    line.fromFile ? "file" : "default");
    }
}

// Opens, queries and closes the pad as OPEN and CLOSE do. True when it answered.
bool CheckPad(Tablet& tablet, int kind) {
    TabletSettings settings;
    tablet.GetTabletSettings(settings);
    settings.CheckConnectedOnOpen = true;
    tablet.SetTabletSettings(settings);
    std::printf("Looking for the pad...\n");
    std::fflush(stdout);
    if (!tablet.CheckTabletConnected()) {
        std::printf("No pad found: %s.\n", FailureHint(kind));
        return false;
    }
    if (!OpenWithOneRetry(tablet)) {
        std::printf("The pad was found but did not open: %s.\n", FailureHint(kind));
        return false;
    }
    if (const char* reason = NoQueryReason(tablet, kind); reason != nullptr) {
        tablet.GetTabletSettings(settings);
        tablet.CloseTablet();
        std::printf(
            "Opened. %s, so the numbers query is never sent (OPEN does not send it either); "
            "logical size %d x %d\n",
            reason, settings.TabletLogicalXSize, settings.TabletLogicalYSize);
        return true;
    }
    tablet.GetSerialNumber();
    const int32_t serial = tablet.GetSerialNumber();
    const int32_t model = tablet.GetModelNumber();
    tablet.GetTabletSettings(settings);
    tablet.CloseTablet();
    // OPEN answers the browser all the same, and the page then waits for points that never come.
    if (serial == 0 && model == 0) {
        std::printf(
            "Opened, but nothing answered the numbers query: no pad behind it, or not a "
            "pad of this kind.\n");
        return false;
    }
    std::printf("Pad: serial number %d, model %d, logical size %d x %d\n", serial, model,
                settings.TabletLogicalXSize, settings.TabletLogicalYSize);
    return true;
}

}  // namespace

int RunSelfCheck() {
    const std::string path = SettingsFilePath();
    std::printf("Settings file: %s\n", path.c_str());
    if (!platform::CanOpenForReading(path)) {
        std::printf("  cannot be read: the host never answers OPEN without it\n");
        return 1;
    }
    const ProfileReader file = ProfileReader::FromFile(path);
    const std::string useless = UselessSettingsReason(file);
    if (!useless.empty()) {
        std::printf("  %s\n", useless.c_str());
    }
    for (const std::string& key : UnknownKeys(file)) {
        std::printf("  [Tablet] holds %s, which the host does not read\n", key.c_str());
    }
    const std::unique_ptr<platform::NamedInstanceLock> instance = TakeSingleInstance();
    if (instance == nullptr) {
        std::printf("Another copy of the host runs and holds the pad: end it first.\n");
        return 1;
    }
    Tablet tablet;
    PrintSettings(file, tablet.settings);
    const int kind = tablet.GetTransportKind();
    std::printf("Transport: kind %d, %s\n", kind,
                TransportDescription(tablet.settings, kind).c_str());
    return CheckPad(tablet, kind) ? 0 : 1;
}
