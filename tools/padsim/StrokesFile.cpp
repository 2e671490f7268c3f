#include "padsim/StrokesFile.h"

#include <charconv>
#include <optional>
#include <vector>

namespace padsim {
namespace {

std::string_view WithoutComment(std::string_view line) {
    const size_t hash = line.find('#');
    return hash == std::string_view::npos ? line : line.substr(0, hash);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        const size_t start = pos;
        while (pos < line.size() && !IsBlank(line[pos])) {
            ++pos;
        }
        if (pos > start) {
            fields.push_back(line.substr(start, pos - start));
        }
    }
    return fields;
}

std::optional<int32_t> Integer(std::string_view field) {
    int32_t value = 0;
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// Parses one line that holds a point; returns an error text or nothing.
std::optional<std::string> ParsePoint(const std::vector<std::string_view>& fields,
                                      PadPoint& point) {
    if (fields.size() != 3) {
        return "expected \"x y touch\", found " + std::to_string(fields.size()) + " field(s)";
    }
    const auto x = Integer(fields[0]);
    const auto y = Integer(fields[1]);
    const auto touch = Integer(fields[2]);
    if (!x || !y) {
        return "x and y must be integers";
    }
    if (!touch || (*touch != 0 && *touch != 1)) {
        return "touch must be 0 or 1";
    }
    point = PadPoint{*x, *y, *touch == 1};
    return std::nullopt;
}

}  // namespace

StrokesParseResult ParseStrokes(std::string_view text) {
    StrokesParseResult result;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        const auto fields = Fields(WithoutComment(line));
        if (fields.empty()) {
            continue;
        }
        PadPoint point;
        if (const auto error = ParsePoint(fields, point)) {
            return {{}, "line " + std::to_string(lineNumber) + ": " + *error};
        }
        result.points.push_back(point);
    }
    if (result.points.empty()) {
        result.error = "no points";
    }
    return result;
}

}  // namespace padsim
