#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/HidDevices.h"

namespace platform {

// The hidraw backend: interfaces are the entries of classDirectory (hidraw0, hidraw1, ... in
// number order), each with device/uevent and device/report_descriptor; their nodes are
// deviceDirectory/hidrawN. The system's backend uses /sys/class/hidraw and /dev.
std::unique_ptr<HidDevices> CreateHidrawDevices(const std::string& classDirectory,
                                                const std::string& deviceDirectory);

// Vendor and product from the HID_ID line of a HID device's uevent text
// ("HID_ID=0003:00001D5B:00000043"); false when there is no such line or it is malformed.
bool ParseUeventHidId(const std::string& uevent, uint16_t& vendorId, uint16_t& productId);

}  // namespace platform
