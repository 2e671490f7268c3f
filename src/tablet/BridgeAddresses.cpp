#include "tablet/BridgeAddresses.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "tablet/Ipv4Address.h"

namespace {

bool IsSeparator(char c) {
    return c == ',' || c == ' ' || c == '\t';
}

std::optional<uint32_t> ParsePart(std::string_view part) {
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value <= 255 ? std::optional<uint32_t>(value) : std::nullopt;
}

// Four parts, each a byte, in network byte order: the first part is the first byte in memory.
std::optional<uint32_t> ParseDottedDecimal(std::string_view entry) {
    uint8_t bytes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const size_t dot = i < 3 ? entry.find('.') : entry.size();
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<uint32_t> part = ParsePart(entry.substr(0, dot));
        if (!part) {
            return std::nullopt;
        }
        bytes[i] = static_cast<uint8_t>(*part);
        entry.remove_prefix(i < 3 ? dot + 1 : dot);
    }
    uint32_t address = 0;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

}  // namespace

bool BridgeAddressList::Accepts(uint32_t address) const {
    return AnyAddress() ||
           std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

BridgeAddressList ParseBridgeAddresses(std::string_view text) {
    BridgeAddressList list;
    while (!text.empty()) {
        if (IsSeparator(text.front())) {
            text.remove_prefix(1);
            continue;
        }
        const size_t end = std::find_if(text.begin(), text.end(), IsSeparator) - text.begin();
        const std::string_view entry = text.substr(0, end);
        if (const std::optional<uint32_t> address = ParseDottedDecimal(entry)) {
            list.addresses.push_back(*address);
        } else {
            list.rejected.emplace_back(entry);
        }
        text.remove_prefix(end);
    }
    return list;
}

std::string DescribeBridgeAddresses(const BridgeAddressList& list) {
    if (list.AnyAddress()) {
        return "from any address (BridgeAddresses is empty)";
    }
    std::string text = list.addresses.empty() ? "from no address at all" : "only from";
    for (size_t i = 0; i < list.addresses.size(); ++i) {
        text += (i == 0 ? " " : ", ") + FormatIpv4Address(list.addresses[i]);
    }
    for (const std::string& entry : list.rejected) {
        text += "; BridgeAddresses entry \"" + entry + "\" is no address and is ignored";
    }
    return text;
}
