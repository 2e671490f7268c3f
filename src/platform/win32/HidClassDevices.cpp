#include "platform/HidDevices.h"

#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include "platform/UsbPipeDevices.h"
#include "platform/win32/HidHandle.h"
#include "platform/win32/HidReportIo.h"

namespace platform {
namespace {

InterfaceClassGuid HidInterfaceClass() {
    GUID guid{};
    HidD_GetHidGuid(&guid);
    InterfaceClassGuid interfaceClass{guid.Data1, guid.Data2, guid.Data3, {}};
    for (size_t i = 0; i < sizeof guid.Data4; ++i) {
        interfaceClass.data4[i] = guid.Data4[i];
    }
    return interfaceClass;
}

HANDLE OpenInterface(const std::string& path, DWORD flags) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool ReadCapabilities(HANDLE device, HIDP_CAPS& capabilities) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(device, &preparsed)) {
        return false;
    }
    const NTSTATUS status = HidP_GetCaps(preparsed, &capabilities);
    HidD_FreePreparsedData(preparsed);
    return status == HIDP_STATUS_SUCCESS;
}

// Opens the interface to read its ids and report lengths; false when any of it fails.
bool Describe(const std::string& path, HidInterface& found) {
    const HidHandle device(OpenInterface(path, 0));
    if (!device.IsValid()) {
        return false;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    HIDP_CAPS capabilities{};
    if (!HidD_GetAttributes(device.get(), &attributes) ||
        !ReadCapabilities(device.get(), capabilities)) {
        return false;
    }
    found.path = path;
    found.vendorId = attributes.VendorID;
    found.productId = attributes.ProductID;
    found.inputReportLength = capabilities.InputReportByteLength;
    found.outputReportLength = capabilities.OutputReportByteLength;
    return true;
}

class HidClassDevices final : public HidDevices {
public:
    std::vector<HidInterface> EnumerateInterfaces() override {
        std::vector<std::string> paths;
        ListDeviceInterfaces(HidInterfaceClass(), paths);
        std::vector<HidInterface> interfaces;
        for (const std::string& path : paths) {
            HidInterface found;
            if (!path.empty() && Describe(path, found)) {
                interfaces.push_back(std::move(found));
            }
        }
        return interfaces;
    }

    std::unique_ptr<HidDevice> OpenDevice(const std::string& path) override {
        HidHandle device(OpenInterface(path, 0));
        return device.IsValid() ? MakeHidClassDevice(device.release()) : nullptr;
    }

    std::unique_ptr<HidReportReader> OpenReader(const std::string& path) override {
        HidHandle device(OpenInterface(path, FILE_FLAG_OVERLAPPED));
        HIDP_CAPS capabilities{};
        if (!device.IsValid() || !ReadCapabilities(device.get(), capabilities)) {
            return nullptr;
        }
        return MakeHidClassReader(device.release(), capabilities.InputReportByteLength);
    }
};

}  // namespace

std::unique_ptr<HidDevices> CreatePlatformHidDevices() {
    return std::make_unique<HidClassDevices>();
}

}  // namespace platform
