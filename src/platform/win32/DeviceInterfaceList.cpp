#include "platform/UsbPipeDevices.h"

#include <windows.h>

#include <setupapi.h>

namespace platform {
namespace {

GUID ToGuid(const InterfaceClassGuid& interfaceClass) {
    GUID guid{};
    guid.Data1 = interfaceClass.data1;
    guid.Data2 = interfaceClass.data2;
    guid.Data3 = interfaceClass.data3;
    for (size_t i = 0; i < sizeof guid.Data4; ++i) {
        guid.Data4[i] = interfaceClass.data4[i];
    }
    return guid;
}

// A device information set of the present interfaces of one class, destroyed with the object.
class PresentInterfaces {
public:
    explicit PresentInterfaces(const GUID& interfaceClass)
        : set(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~PresentInterfaces() {
        if (IsOpen()) {
            SetupDiDestroyDeviceInfoList(set);
        }
    }
    PresentInterfaces(const PresentInterfaces&) = delete;
    PresentInterfaces& operator=(const PresentInterfaces&) = delete;

    bool IsOpen() const { return set != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set; }

private:
    HDEVINFO set;
};

// The device path of one enumerated interface; empty when its details cannot be read.
std::string InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return {};
    }
    // DWORD elements keep the detail structure aligned.
    std::vector<DWORD> block((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, nullptr,
                                          nullptr)) {
        return {};
    }
    return detail->DevicePath;
}

}  // namespace

uint32_t ListDeviceInterfaces(const InterfaceClassGuid& interfaceClass,
                              std::vector<std::string>& paths) {
    paths.clear();
    const GUID guid = ToGuid(interfaceClass);
    const PresentInterfaces present(guid);
    if (!present.IsOpen()) {
        return GetLastError();
    }
    for (DWORD memberIndex = 0;; ++memberIndex) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!SetupDiEnumDeviceInterfaces(present.get(), nullptr, &guid, memberIndex,
                                         &interfaceData)) {
            const DWORD error = GetLastError();
            return error == ERROR_NO_MORE_ITEMS ? 0 : error;
        }
        paths.push_back(InterfacePath(present.get(), interfaceData));
    }
}

}  // namespace platform
