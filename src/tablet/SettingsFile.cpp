#include "tablet/SettingsFile.h"

#include <algorithm>
#include <string>

#include "processing/PointQueue.h"
#include "tablet/Ipv4Address.h"

namespace {

constexpr const char* kTabletSection = "Tablet";

int16_t Low16(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// A logical size is held within what a point can carry (0 to 4095): beyond it the points past
// 4095 would wrap to the other edge, and the browser would be told a size no point reaches.
int16_t LogicalSize(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(Low16(value), 0, kLargestPenCoordinate));
}

// A flag is on only when its value is exactly 1.
bool Flag(int32_t value) {
    return value == 1;
}

}  // namespace

void ReadSettingsFile(const ProfileReader& file, TabletSettings& s) {
    const auto text = [&](std::string_view section, const char* key, const char* fallback) {
        return file.GetString(section, key, fallback, kSettingsTextSize - 1);
    };
    const char* tablet = kTabletSection;

    s.TabletComPort = Low16(file.GetInt(tablet, "TabletComPort", 1));
    CopySettingsText(s.TabletPortPath, text(tablet, "TabletPortPath", ""));
    const int32_t typeRead = file.GetInt(tablet, "TabletType", s.TabletType & 0x0F);
    s.TabletType = Low16((s.TabletType & ~0x0F) | typeRead);
    const std::string modelName = text(tablet, "TabletModel", "Tablet");
    const std::string_view model = modelName;

    s.TabletXStart = Low16(file.GetInt(model, "TabletXStart", s.TabletXStart));
    s.TabletYStart = Low16(file.GetInt(model, "TabletYStart", s.TabletYStart));
    s.TabletXStop = Low16(file.GetInt(model, "TabletXStop", s.TabletXStop));
    s.TabletYStop = Low16(file.GetInt(model, "TabletYStop", s.TabletYStop));
    s.TabletLogicalXSize =
        LogicalSize(file.GetInt(model, "TabletLogicalXSize", s.TabletLogicalXSize));
    s.TabletLogicalYSize =
        LogicalSize(file.GetInt(model, "TabletLogicalYSize", s.TabletLogicalYSize));
    s.TabletBaudRate = file.GetInt(model, "TabletBaudRate", 19200);
    s.TabletResolution = file.GetInt(model, "TabletResolution", 410);
    s.TabletRotation = file.GetInt(model, "TabletRotation", 0);
    s.Win95Usb = file.GetInt(tablet, "Win95Usb", 0);
    s.UseMultiUsb = Flag(file.GetInt(tablet, "UseMultiUsb", 0));
    s.EnableLogging = Flag(file.GetInt(tablet, "EnableLogging", 0));
    s.TabletIpAddress = ParseIpv4Address(text(tablet, "TabletIpAddress", "127.0.0.1"));
    CopySettingsText(s.BridgeAddresses,
                     file.GetString(tablet, "BridgeAddresses", "", sizeof s.BridgeAddresses - 1));
    s.LCDType = Low16(file.GetInt(model, "LCDType", 0));
    s.LCDXSize = Low16(file.GetInt(model, "LCDXSize", 0));
    s.LCDYSize = Low16(file.GetInt(model, "LCDYSize", 0));
    s.LCDXStart = Low16(file.GetInt(model, "LCDXStart", 0));
    s.LCDYStart = Low16(file.GetInt(model, "LCDYStart", 0));
    s.LCDXStop = Low16(file.GetInt(model, "LCDXStop", 0));
    s.LCDYStop = Low16(file.GetInt(model, "LCDYStop", 0));
    s.LCDWriteDelay = file.GetInt(model, "LCDWriteDelay", 10);
    s.LCDRetryCount = file.GetInt(model, "LCDRetryCount", 2);
    s.LCDCompressMode = Flag(file.GetInt(tablet, "LCDCompressMode", 0));
    s.LCDFastCompressionFactor = file.GetInt(model, "LCDFastCompressionFactor", 8);
    s.LCDSlowCompressionFactor = file.GetInt(model, "LCDSlowCompressionFactor", 6);
    s.LCDZCompression = Flag(file.GetInt(tablet, "LCDZCompression", 0));
    s.SocketTimeout = file.GetInt(model, "SocketTimeout", 10000);
    s.TextThreshold = file.GetInt(tablet, "TextThreshold", 128);
    s.TabletTimingAdvance = file.GetInt(model, "TabletTimingAdvance", 4);
    s.TabletFilterPoints = file.GetInt(model, "TabletFilterPoints", 4);
    s.SocketPort = file.GetInt(tablet, "SocketPort", 47289);
    s.TranslateBitmapEnable = Flag(file.GetInt(tablet, "TranslateBitmapEnable", 1));
}
