#include "transports/HidReportPayload.h"

#include <algorithm>

namespace {

constexpr int32_t kCountByteOffset = 1;
constexpr int32_t kDataOffset = 2;

}  // namespace

HidReportPayload ReadHidReportPayload(const uint8_t* report, int32_t received, uint8_t mask) {
    if (received <= kCountByteOffset) {
        return {};
    }
    const int32_t claimed = mask & report[kCountByteOffset];
    return {claimed, std::min(claimed, received - kDataOffset)};
}
