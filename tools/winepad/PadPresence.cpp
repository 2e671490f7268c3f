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

// {7B41E0C2-5D93-4A6E-8F18-C2D4A9E6B357}: the interface class of the legacy USB pipe driver.
constexpr GUID kPipeInterfaceClass = {
    0x7B41E0C2, 0x5D93, 0x4A6E, {0x8F, 0x18, 0xC2, 0xD4, 0xA9, 0xE6, 0xB3, 0x57}};

// Whether a present interface of the class has a path that holds `part`.
bool Listed(GUID interfaceClass, const std::string& part) {
    const HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool found = false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0;
         !found && SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, i, &data); ++i) {
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

// Plug and Play lists a new pad, or drops one, a moment after the bus reports it: within a
// second on a quiet machine, many seconds on a busy one. The deadline only ends a wait that
// would never end.
bool AwaitInterface(const GUID& interfaceClass, const std::string& part, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Listed(interfaceClass, part) != present) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

bool AwaitHidPadInterface(uint16_t vendorId, uint16_t productId, uint32_t padId, bool present) {
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    char part[48];
    std::snprintf(part, sizeof part, "#vid_%04x&pid_%04x#%u#", vendorId, productId,
                  static_cast<unsigned>(padId));
    return AwaitInterface(hidClass, part, present);
}

bool AwaitPipePadInterface(uint32_t padId, bool present) {
    return AwaitInterface(kPipeInterfaceClass, "#usbpipe#" + std::to_string(padId) + "#", present);
}

}  // namespace winepad
