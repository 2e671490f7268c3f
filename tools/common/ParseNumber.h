#pragma once

#include <charconv>
#include <optional>
#include <string>

namespace tools {

// A command-line number: the whole text, in [low, high]; nothing otherwise.
template <typename T>
std::optional<T> ParseNumber(const std::string& text, T low, T high) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tools
