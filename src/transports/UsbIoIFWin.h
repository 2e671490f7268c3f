#pragma once

#include "tablet/ComponentInterfaces.h"

class Tablet;

// The legacy USB pipe transport. Not built yet: it never opens.
class UsbIoIFWin final : public UsbIoIF {
public:
    explicit UsbIoIFWin(Tablet* owner) : owner(owner) {}
    bool InitTablet() override;
    bool TabletClose() override;

private:
    Tablet* owner;
};
