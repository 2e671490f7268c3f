#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The BridgeAddresses setting: the IPv4 addresses a TCP listener's bridge may connect from,
// written in dotted decimal ("10.0.0.5") and separated by commas or spaces. An empty setting
// leaves the listener open to every address.
struct BridgeAddressList {
    std::vector<uint32_t> addresses;    // network byte order, in the order written
    std::vector<std::string> rejected;  // entries that are no dotted-decimal address

    // Whether the setting says nothing, so that any address may connect.
    bool AnyAddress() const { return addresses.empty() && rejected.empty(); }
    // Whether a bridge from `address` (network byte order) may connect. A setting whose every
    // entry was rejected accepts none: a mistyped list never opens the listener to everybody.
    bool Accepts(uint32_t address) const;
};

// Pure: reads the setting's text. Each entry is four decimal parts of 0 to 255 without leading
// zeros ("010" could be meant as octal, as other address readers take it).
BridgeAddressList ParseBridgeAddresses(std::string_view text);

// For --check: which addresses the listener accepts, and the entries it ignores.
std::string DescribeBridgeAddresses(const BridgeAddressList& list);
