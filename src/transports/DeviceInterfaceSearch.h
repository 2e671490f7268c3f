#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/UsbPipeDevices.h"

// The device search error for an index past the last member (a Windows system error number).
inline constexpr uint32_t kErrorNoMoreItems = 259;

// The interfaces of one class present when it was built, in enumeration order.
class DeviceInfoSet {
public:
    // error: 0 on success, else why the set could not be built.
    DeviceInfoSet(const platform::InterfaceClassGuid& interfaceClass, uint32_t& error);

    const platform::InterfaceClassGuid& InterfaceClass() const { return interfaceClass; }
    const std::vector<std::string>& Members() const { return members; }

private:
    platform::InterfaceClassGuid interfaceClass;
    std::vector<std::string> members;
};

// The details of one member of a DeviceInfoSet: its device path.
class DeviceInterfaceDetail {
public:
    // error: 0 on success, kErrorNoMoreItems when the set has no member at that index.
    DeviceInterfaceDetail(const DeviceInfoSet& infoSet, int32_t memberIndex, uint32_t& error);

    // The device path, or nullptr when none was found.
    const char* DevicePath() const { return devicePath ? devicePath->c_str() : nullptr; }

private:
    std::optional<std::string> devicePath;
};
