#pragma once

#include "tablet/ComponentInterfaces.h"

class Tablet;

// The USB HID transport. Not built yet: it never opens.
class HidIoIFWin final : public HidIoIF {
public:
    explicit HidIoIFWin(Tablet* owner) : owner(owner) {}
    bool InitTablet() override;
    bool TabletClose() override;
    bool TabletWrite(const uint8_t* data, int32_t length) override;
    int32_t SendModeReport(bool flag) override;
    bool CheckConnected() override;

private:
    Tablet* owner;
};
