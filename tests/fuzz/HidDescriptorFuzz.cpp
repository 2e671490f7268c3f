// The HID report descriptor parser on arbitrary descriptors: it reads only the descriptor's
// bytes, every report length is sane, and a well-formed descriptor stays well formed, one
// collection longer, when an empty collection follows it.
#include <limits>
#include <vector>

#include "FuzzInput.h"
#include "platform/HidReportDescriptor.h"

namespace {

using platform::HidCollectionLengths;
using platform::HidDescriptorLayout;

// Collection (Application), End Collection.
constexpr uint8_t kEmptyCollection[] = {0xA1, 0x01, 0xC0};
constexpr uint8_t kEndCollection = 0xC0;

HidDescriptorLayout Parse(const std::vector<uint8_t>& descriptor) {
    // A copy of exactly the descriptor's length, so that any read past it is caught.
    const std::vector<uint8_t> exact(descriptor);
    return platform::ParseHidReportDescriptor(exact.data(), exact.size());
}

bool SaneLength(int32_t length) {
    return length >= 0 && length <= std::numeric_limits<int32_t>::max();
}

void CheckLengths(const HidDescriptorLayout& layout, size_t size) {
    // A collection takes at least its item; every one but an unclosed last also its end.
    Require(layout.collections.size() * 2 <= size + 1, "no more collections than items");
    for (const HidCollectionLengths& collection : layout.collections) {
        Require(SaneLength(collection.inputReportLength) &&
                    SaneLength(collection.outputReportLength) &&
                    SaneLength(collection.featureReportLength),
                "report lengths are sane");
    }
    const HidCollectionLengths first = platform::FirstInputCollection(layout);
    Require(first.inputReportLength > 0 ||
                (first.outputReportLength == 0 && first.featureReportLength == 0 &&
                 first.usagePage == 0 && first.usage == 0),
            "the first input collection has input reports or is all zeros");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> descriptor(data, data + size);
    const HidDescriptorLayout layout = Parse(descriptor);
    CheckLengths(layout, size);
    if (!layout.wellFormed) {
        return 0;
    }
    std::vector<uint8_t> longer(descriptor);
    longer.insert(longer.end(), std::begin(kEmptyCollection), std::end(kEmptyCollection));
    const HidDescriptorLayout withEmpty = Parse(longer);
    Require(withEmpty.wellFormed, "an empty collection keeps a descriptor well formed");
    Require(withEmpty.collections.size() == layout.collections.size() + 1,
            "an empty collection adds one collection");
    const HidCollectionLengths& added = withEmpty.collections.back();
    Require(added.inputReportLength == 0 && added.outputReportLength == 0 &&
                added.featureReportLength == 0,
            "an empty collection has no reports");

    std::vector<uint8_t> unbalanced(descriptor);
    unbalanced.push_back(kEndCollection);
    const HidDescriptorLayout withEnd = Parse(unbalanced);
    Require(!withEnd.wellFormed, "an end without its collection is not well formed");
    Require(withEnd.collections.size() == layout.collections.size(),
            "an unbalanced end adds no collection");
    return 0;
}
