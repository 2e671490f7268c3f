#include "platform/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <limits>

namespace platform {
namespace {

enum ItemType : uint8_t { kMainItem = 0, kGlobalItem = 1, kLocalItem = 2, kLongItem = 3 };

enum MainTag : uint8_t {
    kInputTag = 0x8,
    kOutputTag = 0x9,
    kCollectionTag = 0xA,
    kFeatureTag = 0xB,
    kEndCollectionTag = 0xC,
};

enum GlobalTag : uint8_t {
    kUsagePageTag = 0x0,
    kReportSizeTag = 0x7,
    kReportIdTag = 0x8,
    kReportCountTag = 0x9,
    kPushTag = 0xA,
    kPopTag = 0xB,
};

constexpr uint8_t kUsageTag = 0x0;  // local
constexpr uint8_t kLongItemPrefix = 0xFE;

// Bounds that keep hostile input from costing memory or overflowing the arithmetic.
constexpr size_t kMaxPushDepth = 64;
constexpr uint64_t kMaxReportBits = uint64_t{1} << 40;

enum ReportKind { kInputReport, kOutputReport, kFeatureReport, kReportKinds };

struct Item {
    uint8_t type = 0;
    uint8_t tag = 0;
    uint32_t value = 0;  // the data, little-endian, unsigned
    size_t dataSize = 0;
    size_t length = 0;  // prefix and data
};

// Reads the item that starts at data[pos]; false when it runs past the end.
bool ReadItem(const uint8_t* data, size_t size, size_t pos, Item& item) {
    const size_t left = size - pos;
    const uint8_t prefix = data[pos];
    if (prefix == kLongItemPrefix) {
        if (left < 3 || left - 3 < data[pos + 1]) {
            return false;
        }
        item = Item{kLongItem, data[pos + 2], 0, data[pos + 1], size_t{3} + data[pos + 1]};
        return true;
    }
    static constexpr size_t kDataSizes[4] = {0, 1, 2, 4};
    const size_t dataSize = kDataSizes[prefix & 0x03];
    if (left - 1 < dataSize) {
        return false;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < dataSize; ++i) {
        value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
    }
    item = Item{static_cast<uint8_t>((prefix >> 2) & 0x03), static_cast<uint8_t>(prefix >> 4),
                value, dataSize, 1 + dataSize};
    return true;
}

struct GlobalState {
    uint16_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// The bits of every report of one top-level collection, by kind and report id.
class CollectionReports {
public:
    void Start(uint16_t usagePage, uint16_t usage) {
        *this = CollectionReports{};
        lengths.usagePage = usagePage;
        lengths.usage = usage;
    }

    void Add(ReportKind kind, uint8_t reportId, uint64_t bits) {
        uint64_t& total = bitsById[kind][reportId];
        total = std::min(total + bits, kMaxReportBits);
        seen[kind].set(reportId);
    }

    HidCollectionLengths Finish() const {
        HidCollectionLengths result = lengths;
        result.inputReportLength = LongestReport(kInputReport);
        result.outputReportLength = LongestReport(kOutputReport);
        result.featureReportLength = LongestReport(kFeatureReport);
        return result;
    }

private:
    int32_t LongestReport(ReportKind kind) const {
        if (seen[kind].none()) {
            return 0;
        }
        const uint64_t bits = *std::max_element(bitsById[kind].begin(), bitsById[kind].end());
        const uint64_t bytes = (bits + 7) / 8 + 1;
        return static_cast<int32_t>(std::min<uint64_t>(bytes, std::numeric_limits<int32_t>::max()));
    }

    HidCollectionLengths lengths;
    std::array<std::array<uint64_t, 256>, kReportKinds> bitsById{};
    std::array<std::bitset<256>, kReportKinds> seen;
};

class DescriptorParser {
public:
    HidDescriptorLayout Parse(const uint8_t* data, size_t size) {
        size_t pos = 0;
        while (pos < size) {
            Item item;
            if (!ReadItem(data, size, pos, item)) {
                layout.wellFormed = false;
                break;
            }
            Apply(item);
            pos += item.length;
        }
        if (depth > 0) {
            layout.wellFormed = false;
            layout.collections.push_back(current.Finish());
        }
        return std::move(layout);
    }

private:
    void Apply(const Item& item) {
        switch (item.type) {
            case kMainItem:
                ApplyMain(item);
                haveUsage = false;
                break;
            case kGlobalItem:
                ApplyGlobal(item);
                break;
            case kLocalItem:
                ApplyLocal(item);
                break;
            default:  // long items carry nothing that shapes a report
                break;
        }
    }

    void ApplyMain(const Item& item) {
        switch (item.tag) {
            case kInputTag:
                AddReportField(kInputReport);
                break;
            case kOutputTag:
                AddReportField(kOutputReport);
                break;
            case kFeatureTag:
                AddReportField(kFeatureReport);
                break;
            case kCollectionTag:
                if (depth == 0) {
                    current.Start(CollectionUsagePage(), CollectionUsage());
                }
                ++depth;
                break;
            case kEndCollectionTag:
                EndCollection();
                break;
            default:
                break;
        }
    }

    void AddReportField(ReportKind kind) {
        if (depth == 0) {
            layout.wellFormed = false;  // a field outside every collection belongs to none
            return;
        }
        current.Add(kind, global.reportId, uint64_t{global.reportSize} * global.reportCount);
    }

    void EndCollection() {
        if (depth == 0) {
            layout.wellFormed = false;
            return;
        }
        if (--depth == 0) {
            layout.collections.push_back(current.Finish());
        }
    }

    uint16_t CollectionUsage() const { return haveUsage ? static_cast<uint16_t>(usage) : 0; }

    // A four-byte usage names its own page in its upper half.
    uint16_t CollectionUsagePage() const {
        if (haveUsage && usageDataSize == 4) {
            return static_cast<uint16_t>(usage >> 16);
        }
        return global.usagePage;
    }

    void ApplyGlobal(const Item& item) {
        switch (item.tag) {
            case kUsagePageTag:
                global.usagePage = static_cast<uint16_t>(item.value);
                break;
            case kReportSizeTag:
                global.reportSize = item.value;
                break;
            case kReportCountTag:
                global.reportCount = item.value;
                break;
            case kReportIdTag:
                global.reportId = static_cast<uint8_t>(item.value);
                layout.numberedReports = true;
                break;
            case kPushTag:
                Push();
                break;
            case kPopTag:
                Pop();
                break;
            default:
                break;
        }
    }

    void Push() {
        if (stack.size() >= kMaxPushDepth) {
            layout.wellFormed = false;
            return;
        }
        stack.push_back(global);
    }

    void Pop() {
        if (stack.empty()) {
            layout.wellFormed = false;
            return;
        }
        global = stack.back();
        stack.pop_back();
    }

    void ApplyLocal(const Item& item) {
        if (item.tag == kUsageTag && !haveUsage) {
            usage = item.value;
            usageDataSize = item.dataSize;
            haveUsage = true;
        }
    }

    HidDescriptorLayout layout;
    GlobalState global;
    std::vector<GlobalState> stack;
    CollectionReports current;
    int depth = 0;
    uint32_t usage = 0;  // the first Usage since the last main item
    size_t usageDataSize = 0;
    bool haveUsage = false;
};

}  // namespace

HidDescriptorLayout ParseHidReportDescriptor(const uint8_t* data, size_t size) {
    if (data == nullptr) {
        return HidDescriptorLayout{};
    }
    DescriptorParser parser;
    return parser.Parse(data, size);
}

HidCollectionLengths FirstInputCollection(const HidDescriptorLayout& layout) {
    for (const HidCollectionLengths& collection : layout.collections) {
        if (collection.inputReportLength > 0) {
            return collection;
        }
    }
    return HidCollectionLengths{};
}

}  // namespace platform
