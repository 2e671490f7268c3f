#include "tablet/SettingsReport.h"

#include <algorithm>
#include <iterator>

#include "tablet/Ipv4Address.h"

namespace {

constexpr const char* kTabletSection = "Tablet";

template <auto Field>
std::string Number(const TabletSettings& s) {
    return std::to_string(s.*Field);
}

std::string PortPath(const TabletSettings& s) {
    return std::string("\"") + s.TabletPortPath + "\"";
}

std::string BridgeAddresses(const TabletSettings& s) {
    return std::string("\"") + s.BridgeAddresses + "\"";
}

std::string IpAddress(const TabletSettings& s) {
    return FormatIpv4Address(s.TabletIpAddress);
}

struct KnownKey {
    const char* name;
    bool inModelSection;
    std::string (*value)(const TabletSettings&);  // null for TabletModel, a section's name
};

using S = TabletSettings;
constexpr KnownKey kKnownKeys[] = {
    {"TabletType", false, Number<&S::TabletType>},
    {"TabletComPort", false, Number<&S::TabletComPort>},
    {"TabletPortPath", false, PortPath},
    {"TabletBaudRate", true, Number<&S::TabletBaudRate>},
    {"UseMultiUsb", false, Number<&S::UseMultiUsb>},
    {"TabletIpAddress", false, IpAddress},
    {"SocketPort", false, Number<&S::SocketPort>},
    {"SocketTimeout", true, Number<&S::SocketTimeout>},
    {"BridgeAddresses", false, BridgeAddresses},
    {"TabletXStart", true, Number<&S::TabletXStart>},
    {"TabletYStart", true, Number<&S::TabletYStart>},
    {"TabletXStop", true, Number<&S::TabletXStop>},
    {"TabletYStop", true, Number<&S::TabletYStop>},
    {"TabletLogicalXSize", true, Number<&S::TabletLogicalXSize>},
    {"TabletLogicalYSize", true, Number<&S::TabletLogicalYSize>},
    {"TabletRotation", true, Number<&S::TabletRotation>},
    {"TabletModel", false, nullptr},
    {"EnableLogging", false, Number<&S::EnableLogging>},
    {"TabletResolution", true, Number<&S::TabletResolution>},
    {"TabletTimingAdvance", true, Number<&S::TabletTimingAdvance>},
    {"TabletFilterPoints", true, Number<&S::TabletFilterPoints>},
    {"Win95Usb", false, Number<&S::Win95Usb>},
    {"TextThreshold", false, Number<&S::TextThreshold>},
    {"TranslateBitmapEnable", false, Number<&S::TranslateBitmapEnable>},
    {"LCDType", true, Number<&S::LCDType>},
    {"LCDXSize", true, Number<&S::LCDXSize>},
    {"LCDYSize", true, Number<&S::LCDYSize>},
    {"LCDXStart", true, Number<&S::LCDXStart>},
    {"LCDYStart", true, Number<&S::LCDYStart>},
    {"LCDXStop", true, Number<&S::LCDXStop>},
    {"LCDYStop", true, Number<&S::LCDYStop>},
    {"LCDWriteDelay", true, Number<&S::LCDWriteDelay>},
    {"LCDRetryCount", true, Number<&S::LCDRetryCount>},
    {"LCDCompressMode", false, Number<&S::LCDCompressMode>},
    {"LCDFastCompressionFactor", true, Number<&S::LCDFastCompressionFactor>},
    {"LCDSlowCompressionFactor", true, Number<&S::LCDSlowCompressionFactor>},
    {"LCDZCompression", false, Number<&S::LCDZCompression>},
};

bool IsKnownKey(std::string_view name) {
    return std::any_of(std::begin(kKnownKeys), std::end(kKnownKeys),
                       [&](const KnownKey& key) { return SameProfileName(key.name, name); });
}

}  // namespace

std::vector<SettingLine> DescribeSettings(const ProfileReader& file,
                                          const TabletSettings& settings) {
    const std::string model = file.GetString(kTabletSection, "TabletModel", kTabletSection, 127);
    std::vector<SettingLine> lines;
    for (const KnownKey& key : kKnownKeys) {
        const std::string& section = key.inModelSection ? model : kTabletSection;
        const bool given = file.GetValue(section, key.name).has_value();
        lines.push_back({key.name, key.value != nullptr ? key.value(settings) : model, given});
    }
    return lines;
}

std::vector<std::string> UnknownKeys(const ProfileReader& file) {
    std::vector<std::string> unknown =
        file.KeysIn(kTabletSection).value_or(std::vector<std::string>{});
    std::erase_if(unknown, IsKnownKey);
    return unknown;
}

std::string UselessSettingsReason(const ProfileReader& file) {
    const std::optional<std::vector<std::string>> keys = file.KeysIn(kTabletSection);
    if (!keys) {
        return "it has no [Tablet] section: every setting takes its default";
    }
    if (UnknownKeys(file).size() == keys->size()) {
        return "none of the keys in its [Tablet] section is one the host reads: every setting "
               "takes its default";
    }
    // An empty value reads as an absent key.
    const bool givesAValue = std::any_of(keys->begin(), keys->end(), [&](const std::string& key) {
        return IsKnownKey(key) && file.GetValue(kTabletSection, key).has_value();
    });
    if (!givesAValue) {
        return "every key the host reads in its [Tablet] section is empty: every setting takes "
               "its default";
    }
    return {};
}
