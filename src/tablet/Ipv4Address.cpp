#include "tablet/Ipv4Address.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr uint32_t kInvalidAddress = 0xFFFFFFFFu;

// One part: a number in the base its prefix gives, with no other characters.
std::optional<uint64_t> ParsePart(std::string_view part) {
    if (part.empty()) {
        return std::nullopt;
    }
    unsigned base = 10;
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
    } else if (part.size() > 1 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    if (part.empty() && base == 16) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : part) {
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

uint32_t ParseIpv4Address(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::vector<uint64_t> parts;
    while (parts.size() < 5) {
        const size_t dot = text.find('.');
        const std::optional<uint64_t> part = ParsePart(text.substr(0, dot));
        if (!part) {
            return kInvalidAddress;
        }
        parts.push_back(*part);
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    if (parts.empty() || parts.size() > 4) {
        return kInvalidAddress;
    }
    // Every part but the last is one byte; the last fills the bytes that remain.
    uint32_t hostOrder = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] > 0xFF) {
            return kInvalidAddress;
        }
        hostOrder |= static_cast<uint32_t>(parts[i]) << (24 - 8 * i);
    }
    const unsigned lastBits = 32 - 8 * static_cast<unsigned>(parts.size() - 1);
    if (lastBits < 32 && parts.back() >> lastBits != 0) {
        return kInvalidAddress;
    }
    hostOrder |= static_cast<uint32_t>(parts.back());
    const uint8_t bytes[4] = {
        static_cast<uint8_t>(hostOrder >> 24), static_cast<uint8_t>(hostOrder >> 16),
        static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
    uint32_t networkOrder;
    std::memcpy(&networkOrder, bytes, sizeof networkOrder);
    return networkOrder;
}

std::string FormatIpv4Address(uint32_t address) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}
