#pragma once

#include "tablet/ComponentInterfaces.h"

class Tablet;

// The TCP listening transport. Not built yet: it never opens.
class NewSocketIoIFWin final : public NewSocketIoIF {
public:
    explicit NewSocketIoIFWin(Tablet* owner) : owner(owner) {}
    bool InitTablet() override;
    bool TabletClose() override;
    bool TabletWrite(const uint8_t* data, int32_t length) override;

private:
    Tablet* owner;
};
