#pragma once

#include <string>

#include "PadBusClient.h"

namespace winepad {

// A serial port's state as one line of words: "opens=1 baud=38400 line=8O1 dtr=1 rts=1
// handflow=1,40 timeouts=50,50,0,50,0 queues=16384,16384 mask=1 waits=3 status=12 modem=2
// reads=4 writes=4 refused=0 last=0 closedwaiting=0" (handflow and mask in hexadecimal; last,
// the code of the last request the port refused, too).
std::string FormatPortState(const WinePadPortState& state);

}  // namespace winepad
