#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nmclient {

// A parsed JSON value. Objects keep their members in order.
struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

    Type type = Type::kNull;
    bool boolean = false;
    double number = 0;
    std::optional<int64_t> integer;  // set for numbers written without fraction or exponent
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member named `name` of an object, or null.
    const JsonValue* Find(std::string_view name) const;
};

// Parses a whole JSON text (RFC 8259); nothing when it is not one. Nesting deeper than 64
// levels is refused.
std::optional<JsonValue> ParseJson(std::string_view text);

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8 are written as the
// code points of the same value.
std::string QuoteJson(std::string_view text);

}  // namespace nmclient
