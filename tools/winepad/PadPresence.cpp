#include "PadPresence.h"

#include <windows.h>
// windows.h first: the SetupAPI and HID headers build on its types.
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace winepad {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Whether a present HID interface's path holds `part`.
bool Listed(const std::string& part) {
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    const HDEVINFO set =
        SetupDiGetClassDevsA(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool found = false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; !found && SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &data);
         ++i) {
        char buffer[1024] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
        detail->cbSize = sizeof *detail;
        found =
            SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, nullptr, nullptr) &&
            Lower(detail->DevicePath).find(part) != std::string::npos;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

}  // namespace

bool AwaitPadInterface(uint16_t vendorId, uint16_t productId, uint32_t padId, bool present) {
    char part[48];
    std::snprintf(part, sizeof part, "#vid_%04x&pid_%04x#%u#", vendorId, productId,
                  static_cast<unsigned>(padId));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Listed(part) != present) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace winepad
