#include <string>

#include "platform/Directories.h"
#include "tablet/DiagnosticLog.h"
#include "tablet/ProfileReader.h"
#include "tablet/SettingsFile.h"
#include "tablet/Tablet.h"

namespace {

constexpr const char* kDefaultSettingsFile = "Inkora.ini";

// A file name without a directory is looked up in the Windows directory.
std::string ResolveSettingsPath(const char* name) {
    const std::string text(name);
    if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos) {
        return text;
    }
    return platform::PathInDirectory(platform::WindowsDirectory(), text);
}

}  // namespace

void Tablet::GetTabletSettings(TabletSettings& out) const {
    out = settings;
}

void Tablet::SetTabletSettings(const TabletSettings& in) {
    settings = in;
    serialTransport->SetComPort(settings.TabletComPort);
    serialTransport->SetBaudRate(settings.TabletBaudRate);
    serialTransport->SetPortPath(settings.TabletPortPath);
}

void Tablet::InitSettings() {
    SetDefaultSettings();
    LoadSettings();
}

void Tablet::SetDefaultSettings() {
    settings.TabletType = 0;
    settings.TabletXStart = 500;
    settings.TabletYStart = 350;
    settings.TabletXStop = 2650;
    settings.TabletYStop = 2100;
    settings.TabletLogicalXSize = 2150;
    settings.TabletLogicalYSize = 1400;
    settings.TabletRotation = 0;
    settings.CheckConnectedOnOpen = false;
}

void Tablet::LoadSettings() {
    TabletSettings& s = settings;
    if (s.SettingsFileOverride[0] != '\0') {
        CopySettingsText(s.SettingsFileName, s.SettingsFileOverride);
    } else {
        CopySettingsText(s.SettingsFileName, kDefaultSettingsFile);
    }
    ReadSettingsFile(ProfileReader::FromFile(ResolveSettingsPath(s.SettingsFileName)), s);
    serialTransport->SetComPort(s.TabletComPort);
    serialTransport->SetPortPath(s.TabletPortPath);
    serialTransport->SetBaudRate(s.TabletBaudRate);
    OpenLogFile(s);
}
