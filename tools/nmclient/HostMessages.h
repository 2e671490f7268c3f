#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nmclient {

enum class MessageKind {
    kOpenReply,  // {"command":"OPEN","status":..,"device":..,"maxx":..,"maxy":..}
    kPoint,      // {"command":"POINT","X":..,"Y":..,"P":0|1}
    kGoodbye,    // {"text":"EXITING..."}
    kOther,      // any other JSON text
    kMalformed,  // not JSON, or a known message with fields missing or wrong
};

struct HostMessage {
    MessageKind kind = MessageKind::kOther;
    std::string problem;  // what is wrong with a malformed frame
    int64_t status = 0;
    int64_t device = 0;
    int64_t maxx = 0;
    int64_t maxy = 0;
    int64_t x = 0;
    int64_t y = 0;
    bool down = false;  // P = 1
};

// What the text of one frame from the host says.
HostMessage ClassifyFrame(std::string_view text);

// The line printed for a frame: the text itself when it is JSON on one line, else the text as
// a JSON string, with U+FFFD for bytes that are not UTF-8.
std::string JsonLine(std::string_view text);

}  // namespace nmclient
