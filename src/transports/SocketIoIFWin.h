#pragma once

#include "tablet/ComponentInterfaces.h"

class Tablet;

// The TCP client transport. Not built yet: it never opens.
class SocketIoIFWin final : public SocketIoIF {
public:
    explicit SocketIoIFWin(Tablet* owner) : owner(owner) {}
    bool InitTablet() override;
    bool TabletClose() override;
    bool TabletWrite(const uint8_t* data, int32_t length) override;

private:
    Tablet* owner;
};
