#pragma once

#include <cstdint>

namespace winepad {

// Waits until the interface of a pad on the bus is listed by SetupAPI (`present`) or no longer
// listed, as the PnP manager starts or removes it after the bus announced the change: the HID
// interface of a HID pad with these ids, or the pipe driver's interface of a pipe pad. A
// console program gets no notice of interface arrival under Wine, so the list is looked at
// every 20 ms, for at most 10 s. False when the time ran out.
bool AwaitHidPadInterface(uint16_t vendorId, uint16_t productId, uint32_t padId, bool present);
bool AwaitPipePadInterface(uint32_t padId, bool present);

}  // namespace winepad
