// The settings file as LoadSettings reads it, from arbitrary file bytes: every field within its
// type, the logical sizes within 0..4095, every text terminated inside its field, and the same
// settings whether the text comes plain, behind a UTF-8 byte-order mark or as UTF-16 with its mark;
// the BridgeAddresses list as the listener reads it; and --check's account of it: a file said to
// give only defaults gives only defaults.
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "processing/PointQueue.h"
#include "tablet/BridgeAddresses.h"
#include "tablet/Ipv4Address.h"
#include "tablet/ProfileReader.h"
#include "tablet/SettingsFile.h"
#include "tablet/SettingsReport.h"

namespace {

constexpr int16_t kTransportHighBits = 0x30;

TabletSettings Read(std::string_view fileBytes) {
    TabletSettings settings;
    std::memset(&settings, 0, sizeof settings);  // padding too, so that readings compare whole
    settings.TabletType = kTransportHighBits;
    ReadSettingsFile(ProfileReader(fileBytes), settings);
    return settings;
}

template <size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

bool IsFlag(const bool& flag) {
    uint8_t stored;
    std::memcpy(&stored, &flag, 1);
    return stored <= 1;
}

// Only a list with no entry at all opens the listener to any address; every address a list
// names is accepted, and reads back as itself.
void CheckBridgeAddresses(const char* text) {
    const BridgeAddressList list = ParseBridgeAddresses(text);
    Require(list.AnyAddress() == (std::strspn(text, ", \t") == std::strlen(text)),
            "only an empty list accepts any address");
    for (const uint32_t address : list.addresses) {
        Require(list.Accepts(address), "a listed address is accepted");
        const BridgeAddressList again = ParseBridgeAddresses(FormatIpv4Address(address));
        Require(again.addresses.size() == 1 && again.addresses[0] == address,
                "a listed address reads back as itself");
    }
}

void CheckFields(const TabletSettings& s) {
    Require(Terminated(s.BridgeAddresses), "BridgeAddresses terminated");
    CheckBridgeAddresses(s.BridgeAddresses);
    Require(Terminated(s.TabletPortPath), "TabletPortPath terminated");
    Require(std::strlen(s.TabletPortPath) <= 127, "TabletPortPath within 127 characters");
    Require(std::strchr(s.TabletPortPath, '\n') == nullptr, "a value never spans lines");
    Require(s.SettingsFileName[0] == '\0' && s.SettingsFileOverride[0] == '\0',
            "the file names are left alone");
    Require((s.TabletType & kTransportHighBits) == kTransportHighBits,
            "the transport's high bits are kept");
    for (const int16_t size : {s.TabletLogicalXSize, s.TabletLogicalYSize}) {
        Require(size >= 0 && size <= kLargestPenCoordinate, "a logical size a point can carry");
    }
    for (const bool* flag : {&s.UseMultiUsb, &s.EnableLogging, &s.CheckConnectedOnOpen,
                             &s.LCDCompressMode, &s.LCDZCompression, &s.TranslateBitmapEnable}) {
        Require(IsFlag(*flag), "a flag is 0 or 1");
    }
}

std::string AsUtf16WithMark(std::string_view bytes) {
    std::string text = "\xFF\xFE";
    for (char c : bytes) {
        text.push_back(c);
        text.push_back('\0');
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const TabletSettings plain = Read(file);
    CheckFields(plain);
    if (!UselessSettingsReason(ProfileReader(file)).empty()) {
        const TabletSettings defaults = Read("");
        Require(std::memcmp(&plain, &defaults, sizeof plain) == 0, "a useless file gives defaults");
    }
    if (file.starts_with("\xFF\xFE") || file.starts_with("\xEF\xBB\xBF")) {
        return 0;  // a file with its own mark reads differently behind another
    }
    const TabletSettings utf8 = Read("\xEF\xBB\xBF" + std::string(file));
    Require(std::memcmp(&plain, &utf8, sizeof plain) == 0, "a UTF-8 mark changes nothing");
    const TabletSettings utf16 = Read(AsUtf16WithMark(file));
    Require(std::memcmp(&plain, &utf16, sizeof plain) == 0, "UTF-16 reads as the bytes it holds");
    return 0;
}
