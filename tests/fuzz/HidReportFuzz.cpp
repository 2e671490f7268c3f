// The HID reader's input reports: whatever the count byte claims, the payload handed on lies
// within the bytes that were received, and within what the report size's mask lets the count
// byte say.
#include <algorithm>
#include <vector>

#include "FuzzInput.h"
#include "transports/HidIoIFWin.h"
#include "transports/HidReportPayload.h"

namespace {

constexpr int32_t kDataOffset = 2;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    // The pad's input report length, id byte included, as the reader was started with it.
    const int32_t reportLength = input.Word() % (HidIoIFWin::kReadBufferSize + 1);
    const uint8_t mask = HidIoIFWin::MaskByte(reportLength - 1);
    while (input.Left() > 0) {
        const int32_t capacity = reportLength;
        const auto received = static_cast<int32_t>(input.Word() % (capacity + 1));
        const std::string_view bytes = input.Take(static_cast<size_t>(received));
        const std::vector<uint8_t> report(bytes.begin(), bytes.end());  // exactly what came
        const HidReportPayload payload =
            ReadHidReportPayload(report.data(), static_cast<int32_t>(report.size()), mask);
        const int32_t room =
            std::max<int32_t>(static_cast<int32_t>(report.size()) - kDataOffset, 0);
        Require(payload.count >= 0 && payload.count <= room, "the payload was received");
        Require(payload.claimed <= mask && payload.count <= payload.claimed,
                "the count stays within the masked count byte");
        if (report.size() > 1) {
            Require(payload.claimed == (mask & report[1]), "the count byte is read masked");
            Require(payload.count == std::min(payload.claimed, room),
                    "a count the report holds is taken whole");
        }
    }
    return 0;
}
