#include "transports/HidReportPayload.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HidReportPayload Read(const std::vector<uint8_t>& report, uint8_t mask) {
    // The vector holds exactly the bytes received: a sanitized build catches any read beyond.
    return ReadHidReportPayload(report.data(), static_cast<int32_t>(report.size()), mask);
}

TEST(HidReportPayload, ReportsTooShortForACountByteCarryNothing) {
    EXPECT_EQ(Read({}, 0x3F).count, 0);
    const HidReportPayload idOnly = Read({0x00}, 0x3F);
    EXPECT_EQ(idOnly.claimed, 0);
    EXPECT_EQ(idOnly.count, 0);
    const HidReportPayload countOnly = Read({0x00, 0x05}, 0x3F);
    EXPECT_EQ(countOnly.claimed, 5);
    EXPECT_EQ(countOnly.count, 0);
}

TEST(HidReportPayload, CountIsMaskedThenCutToTheDataReceived) {
    const HidReportPayload masked = Read({0x00, 0xC5, 1, 2, 3, 4, 5, 6}, 0x3F);
    EXPECT_EQ(masked.claimed, 5);
    EXPECT_EQ(masked.count, 5);
    const HidReportPayload cut = Read({0x00, 0x0F, 1, 2, 3}, 0x0F);
    EXPECT_EQ(cut.claimed, 15);
    EXPECT_EQ(cut.count, 3);
}

}  // namespace
