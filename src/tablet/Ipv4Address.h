#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Parses a dotted IPv4 address with the classic rules: one to four parts, each decimal, octal
// (leading 0) or hexadecimal (0x); the last part fills the remaining bytes ("10.1" is
// 10.0.0.1). Returns the address in network byte order (its bytes in memory are the address's
// bytes in order), or all ones for text that does not parse.
uint32_t ParseIpv4Address(std::string_view text);

// The address (network byte order) in dotted decimal form.
std::string FormatIpv4Address(uint32_t address);
