#pragma once

#include <CLI/CLI.hpp>

#include <charconv>
#include <string>

namespace tools {

template <typename T>
std::string NumberText(T value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A number option: plain decimal text for a T in [low, high], handed on to CLI11 in canonical
// form. CLI11 on its own reads a leading 0 as octal, takes 0x and wraps "-1" into the largest
// unsigned value.
template <typename T>
CLI::Validator Decimal(T low, T high) {
    const auto check = [=](std::string& text) -> std::string {
        T value{};
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || stop != end || !(value >= low && value <= high)) {
            return "\"" + text + "\" is not a number from " + NumberText(low) + " to " +
                   NumberText(high);
        }
        text = NumberText(value);
        return {};
    };
    return CLI::Validator(check, "");
}

// A file or program name that may not be empty.
inline CLI::Validator NonEmpty() {
    const auto check = [](std::string& text) -> std::string {
        return text.empty() ? "may not be empty" : "";
    };
    return CLI::Validator(check, "");
}

}  // namespace tools
