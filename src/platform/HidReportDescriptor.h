#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// The report lengths of one top-level collection, figured as Windows figures them: the largest
// report of each kind in bytes, rounded up, plus one byte for the report id whether or not the
// device numbers its reports; 0 where the collection has no report of that kind.
struct HidCollectionLengths {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    int32_t inputReportLength = 0;
    int32_t outputReportLength = 0;
    int32_t featureReportLength = 0;
};

struct HidDescriptorLayout {
    std::vector<HidCollectionLengths> collections;  // top-level collections, in order
    bool numberedReports = false;  // a Report ID item appears: every report starts with its id
    bool wellFormed = true;        // false after a truncated item, an unbalanced collection or Pop
};

// Reads a HID report descriptor. Safe on any input: a malformed descriptor yields what could
// be read before the fault, with wellFormed false.
HidDescriptorLayout ParseHidReportDescriptor(const uint8_t* data, size_t size);

// The first top-level collection that has input reports, or all zeros when none has.
HidCollectionLengths FirstInputCollection(const HidDescriptorLayout& layout);

}  // namespace platform
