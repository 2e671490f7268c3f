#include "PadReports.h"

#include <algorithm>

namespace winepad {

const Bytes& DefaultPadDescriptor() {
    static const Bytes descriptor = {
        0x06, 0x00, 0xFF,  // usage page: vendor-defined
        0x09, 0x01,        // usage 1
        0xA1, 0x01,        // collection: application
        0x15, 0x00,        //   logical minimum 0
        0x26, 0xFF, 0x00,  //   logical maximum 255
        0x75, 0x08,        //   report size: 8 bits
        0x95, 0x40,        //   report count: 64
        0x09, 0x01,        //   usage 1
        0x81, 0x02,        //   input: data, variable, absolute
        0x95, 0x40,        //   report count: 64
        0x09, 0x01,        //   usage 1
        0x91, 0x02,        //   output: data, variable, absolute
        0xC0,              // end collection
    };
    return descriptor;
}

std::vector<Bytes> PackIntoReports(const Bytes& stream, size_t length) {
    std::vector<Bytes> reports;
    const size_t capacity = length - 1;
    for (size_t at = 0; at < stream.size(); at += capacity) {
        const size_t count = std::min(capacity, stream.size() - at);
        Bytes report(length, 0);
        report[0] = static_cast<uint8_t>(count);
        std::copy_n(stream.begin() + static_cast<ptrdiff_t>(at), count, report.begin() + 1);
        reports.push_back(std::move(report));
    }
    return reports;
}

std::optional<Bytes> SentPayload(const Bytes& report, bool withId) {
    const size_t countAt = withId ? 1 : 0;
    if (report.size() <= countAt || report.size() - countAt - 1 < report[countAt]) {
        return std::nullopt;
    }
    const auto begin = report.begin() + static_cast<ptrdiff_t>(countAt + 1);
    return Bytes(begin, begin + report[countAt]);
}

}  // namespace winepad
