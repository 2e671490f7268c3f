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
// unplug PAD: the pad vanishes as if pulled out.
struct UnplugCommand {
    uint32_t pad = 0;
};
// input PAD HEX: one input report, as the device sends it.
struct InputCommand {
    uint32_t pad = 0;
    Bytes report;
};
// sign PAD LENGTH [RATE]: the built-in signature as pen packets, packed into reports of LENGTH
// bytes (the count byte and the payload), RATE points a second (default 200).
struct SignCommand {
    uint32_t pad = 0;
    uint32_t reportLength = 0;
    uint32_t rate = 200;
};
// numbers PAD SERIAL MODEL LENGTH: from now on every numbers query the host sends the pad is
// answered with its numbers packet, in a report of LENGTH bytes.
struct NumbersCommand {
    uint32_t pad = 0;
    uint32_t serialNumber = 0;
    uint32_t modelNumber = 0;
    uint32_t reportLength = 0;
};
// quit: unplugs every pad and ends.
struct QuitCommand {};

using Command = std::variant<PlugCommand, UnplugCommand, InputCommand, SignCommand, NumbersCommand,
                             QuitCommand>;

// A command line, or the text that says why it is not one.
std::variant<Command, std::string> ParseCommand(std::string_view line);

// "0a 1f" or "0a1f" as bytes; nothing for an odd digit count or a non-hex character.
bool ParseHex(std::string_view text, Bytes& out);
std::string FormatHex(const Bytes& bytes);

}  // namespace winepad
