#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace winepad {

using Bytes = std::vector<uint8_t>;

// plug VID PID [DESCRIPTOR_FILE]: a pad with these hexadecimal ids; the built-in pad
// descriptor unless a file names another.
struct PlugCommand {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string descriptorFile;
};
// port N: a serial port named COMN.
struct PortCommand {
    uint32_t number = 0;
};
// pipe: a pad of the legacy USB pipe driver.
struct PipeCommand {};
// unplug PAD: the pad vanishes as if pulled out.
struct UnplugCommand {
    uint32_t pad = 0;
};
// input PAD HEX: what the pad sends: one input report as the device sends it (HID), received
// bytes (serial port), whole 4-byte packets (pipe pad).
struct InputCommand {
    uint32_t pad = 0;
    Bytes report;
};
// sign PAD LENGTH [RATE]: the built-in signature as pen packets, RATE points a second (default
// 200); a HID pad sends each in a report of LENGTH bytes (the count byte and the payload), the
// others ignore LENGTH.
struct SignCommand {
    uint32_t pad = 0;
    uint32_t reportLength = 0;
    uint32_t rate = 200;
};
// numbers PAD SERIAL MODEL LENGTH: from now on every numbers query the host sends the pad is
// answered with its numbers packet (a HID pad's in a report of LENGTH bytes).
struct NumbersCommand {
    uint32_t pad = 0;
    uint32_t serialNumber = 0;
    uint32_t modelNumber = 0;
    uint32_t reportLength = 0;
};
// dsr PAD on|off: a serial port's DSR line.
struct DsrCommand {
    uint32_t pad = 0;
    bool on = true;
};
// refuse PAD RATE: the serial port refuses this baud rate (0: refuses none).
struct RefuseCommand {
    uint32_t pad = 0;
    uint32_t rate = 0;
};
// hold PAD on|off: a pipe pad keeps its reads and ignores their cancellation (on), or lets
// them go (off); a serial port ends a wait that a new mask or a cancel ends only some time later
// (on), or at once (off).
struct HoldCommand {
    uint32_t pad = 0;
    bool on = true;
};
// state PAD: a serial port's line settings and request counts.
struct StateCommand {
    uint32_t pad = 0;
};
// open N / close N: winepad itself holds COMN open, as another program would, or lets it go.
struct OccupyCommand {
    uint32_t number = 0;
    bool open = true;
};
// quit: unplugs every pad and ends.
struct QuitCommand {};

using Command = std::variant<PlugCommand, PortCommand, PipeCommand, UnplugCommand, InputCommand,
                             SignCommand, NumbersCommand, DsrCommand, RefuseCommand, HoldCommand,
                             StateCommand, OccupyCommand, QuitCommand>;

// A command line, or the text that says why it is not one.
std::variant<Command, std::string> ParseCommand(std::string_view line);

// "0a 1f" or "0a1f" as bytes; nothing for an odd digit count or a non-hex character.
bool ParseHex(std::string_view text, Bytes& out);
std::string FormatHex(const Bytes& bytes);

}  // namespace winepad
