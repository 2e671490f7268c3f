#pragma once

#include <cstdint>

// An input report of the pad: the report id byte, a count byte, then data. The count byte,
// masked, claims how many data bytes follow; only bytes that were received are counted.
struct HidReportPayload {
    int32_t claimed = 0;  // what the masked count byte says; 0 when no count byte came
    int32_t count = 0;    // the data bytes to take, from offset 2
};

// Reads only the first received bytes of report.
HidReportPayload ReadHidReportPayload(const uint8_t* report, int32_t received, uint8_t mask);
