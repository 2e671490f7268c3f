#include "PortState.h"

#include <cstdio>

namespace winepad {
namespace {

char ParityLetter(unsigned parity) {
    static const char letters[] = "NOEMS";
    return parity < sizeof letters - 1 ? letters[parity] : '?';
}

const char* StopBitsText(unsigned stopBits) {
    switch (stopBits) {
        case 0:
            return "1";
        case 1:
            return "1.5";
        case 2:
            return "2";
        default:
            return "?";
    }
}

}  // namespace

std::string FormatPortState(const WinePadPortState& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "opens=%lu baud=%lu line=%u%c%s dtr=%u rts=%u handflow=%lx,%lx "
                  "timeouts=%lu,%lu,%lu,%lu,%lu queues=%lu,%lu mask=%lx waits=%lu status=%lu "
                  "modem=%lu reads=%lu writes=%lu refused=%lu last=%lx closedwaiting=%lu",
                  s.opens, s.baudRate, s.wordLength, ParityLetter(s.parity),
                  StopBitsText(s.stopBits), s.dtr, s.rts, s.controlHandShake, s.flowReplace,
                  s.timeouts[0], s.timeouts[1], s.timeouts[2], s.timeouts[3], s.timeouts[4],
                  s.inQueueSize, s.outQueueSize, s.waitMask, s.waits, s.statusQueries,
                  s.modemQueries, s.reads, s.writes, s.refusedRequests, s.lastRefusedCode,
                  s.closesWithWait);
    return text;
}

}  // namespace winepad
