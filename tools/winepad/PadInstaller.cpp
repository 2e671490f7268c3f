#include "PadInstaller.h"

#include <windows.h>
// windows.h first: the SetupAPI headers build on its types.
#include <initguid.h>
// initguid.h before devguid.h: the class GUID is defined here, not imported.
#include <devguid.h>
#include <newdev.h>
#include <setupapi.h>

#include <string>

#include "PadBusClient.h"

namespace winepad {
namespace {

constexpr char kBusHardwareIds[] = "ROOT\\WINEPADBUS\0";  // a multi-string: one id, two NULs

std::string Failure(const std::string& what) {
    return what + " failed (error " + std::to_string(GetLastError()) + ")";
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string DriversFolder() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\drivers\\";
}

// The INF goes into the prefix's INF folder too: the PnP manager looks there for the driver of
// every pad the bus announces.
std::string CopyFiles(const std::string& source, const std::string& inf) {
    for (const char* driver : {"winepadbus.sys", "winepadhid.sys"}) {
        if (!CopyFileA((source + driver).c_str(), (DriversFolder() + driver).c_str(), FALSE)) {
            return Failure(std::string("copying ") + driver);
        }
    }
    if (!SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_NONE, 0, nullptr, 0, nullptr, nullptr) &&
        GetLastError() != ERROR_FILE_EXISTS) {
        return Failure("SetupCopyOEMInf");
    }
    return "";
}

std::string RegisterRootDevice() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_SYSTEM, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        return Failure("SetupDiCreateDeviceInfoList");
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    std::string failure;
    if (!SetupDiCreateDeviceInfoA(set, "WINEPADBUS", &GUID_DEVCLASS_SYSTEM, nullptr, nullptr,
                                  DICD_GENERATE_ID, &device)) {
        failure = Failure("SetupDiCreateDeviceInfo");
    } else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(kBusHardwareIds),
                                                  sizeof kBusHardwareIds)) {
        failure = Failure("SetupDiSetDeviceRegistryProperty");
    } else if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
        failure = Failure("DIF_REGISTERDEVICE");
    }
    SetupDiDestroyDeviceInfoList(set);
    return failure;
}

}  // namespace

std::string InstallPadBus() {
    if (PadBusClient::Open() != nullptr) {
        return "";
    }
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
        return "the pad bus needs a 32-bit prefix (WINEARCH=win32): a 64-bit one loads only "
               "64-bit drivers";
    }
    const std::string source = ProgramFolder();
    const std::string inf = source + "winepad.inf";
    std::string failure = CopyFiles(source, inf);
    if (failure.empty()) {
        failure = RegisterRootDevice();
    }
    BOOL reboot = FALSE;
    if (failure.empty() && !UpdateDriverForPlugAndPlayDevicesA(
                               nullptr, kBusHardwareIds, inf.c_str(), INSTALLFLAG_FORCE, &reboot)) {
        failure = Failure("UpdateDriverForPlugAndPlayDevices");
    }
    if (failure.empty() && PadBusClient::Open() == nullptr) {
        failure = Failure("opening the pad bus after its installation");
    }
    return failure;
}

}  // namespace winepad
