#include "nmclient/Json.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace nmclient {
namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        SkipSpace();
        if (!Value(value, 0)) {
            return std::nullopt;
        }
        SkipSpace();
        if (pos_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    bool Value(JsonValue& out, int depth) {
        if (depth > kMaxDepth || pos_ >= text_.size()) {
            return false;
        }
        switch (text_[pos_]) {
            case '{':
                return Object(out, depth);
            case '[':
                return Array(out, depth);
            case '"':
                out.type = JsonValue::Type::kString;
                return String(out.text);
            case 't':
                out = Boolean(true);
                return Literal("true");
            case 'f':
                out = Boolean(false);
                return Literal("false");
            case 'n':
                out.type = JsonValue::Type::kNull;
                return Literal("null");
            default:
                return Number(out);
        }
    }

    static JsonValue Boolean(bool value) {
        JsonValue out;
        out.type = JsonValue::Type::kBool;
        out.boolean = value;
        return out;
    }

    bool Object(JsonValue& out, int depth) {
        out.type = JsonValue::Type::kObject;
        ++pos_;
        SkipSpace();
        if (Take('}')) {
            return true;
        }
        do {
            std::string name;
            JsonValue member;
            SkipSpace();
            if (!String(name)) {
                return false;
            }
            SkipSpace();
            if (!Take(':')) {
                return false;
            }
            SkipSpace();
            if (!Value(member, depth + 1)) {
                return false;
            }
            out.members.emplace_back(std::move(name), std::move(member));
            SkipSpace();
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& out, int depth) {
        out.type = JsonValue::Type::kArray;
        ++pos_;
        SkipSpace();
        if (Take(']')) {
            return true;
        }
        do {
            JsonValue item;
            SkipSpace();
            if (!Value(item, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(item));
            SkipSpace();
        } while (Take(','));
        return Take(']');
    }

    bool String(std::string& out) {
        if (!Take('"')) {
            return false;
        }
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                out.push_back(c);
            } else if (!Escape(out)) {
                return false;
            }
        }
        return false;
    }

    bool Escape(std::string& out) {
        if (pos_ >= text_.size()) {
            return false;
        }
        const char c = text_[pos_++];
        static const std::string_view kFrom = "\"\\/bfnrt";
        static const std::string_view kTo = "\"\\/\b\f\n\r\t";
        const size_t simple = kFrom.find(c);
        if (simple != std::string_view::npos) {
            out.push_back(kTo[simple]);
            return true;
        }
        return c == 'u' && UnicodeEscape(out);
    }

    bool Hex4(uint32_t& value) {
        if (text_.size() - pos_ < 4) {
            return false;
        }
        const char* begin = text_.data() + pos_;
        const auto [end, error] = std::from_chars(begin, begin + 4, value, 16);
        pos_ += 4;
        return error == std::errc() && end == begin + 4;
    }

    bool UnicodeEscape(std::string& out) {
        uint32_t code = 0;
        if (!Hex4(code)) {
            return false;
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            uint32_t low = 0;
            if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        AppendUtf8(code, out);
        return true;
    }

    static void AppendUtf8(uint32_t code, std::string& out) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | code >> 6));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | code >> 12));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | code >> 18));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    size_t Digits() {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ - start;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool Number(JsonValue& out) {
        const size_t start = pos_;
        Take('-');
        const size_t intStart = pos_;
        const size_t intDigits = Digits();
        if (intDigits == 0 || (intDigits > 1 && text_[intStart] == '0')) {
            return false;
        }
        bool whole = true;
        if (Take('.')) {
            whole = false;
            if (Digits() == 0) {
                return false;
            }
        }
        if (Take('e') || Take('E')) {
            whole = false;
            if (!Take('+')) {
                Take('-');
            }
            if (Digits() == 0) {
                return false;
            }
        }
        const std::string literal(text_.substr(start, pos_ - start));
        out.type = JsonValue::Type::kNumber;
        out.number = std::strtod(literal.c_str(), nullptr);
        if (whole) {
            int64_t value = 0;
            const auto [end, error] =
                std::from_chars(literal.data(), literal.data() + literal.size(), value);
            if (error == std::errc() && end == literal.data() + literal.size()) {
                out.integer = value;
            }
        }
        return true;
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// Length of the valid UTF-8 sequence at `at`, or 0.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    uint32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= minimum && code <= 0x10FFFF && !surrogate ? length : 0;
}

std::string EscapedByte(unsigned char byte) {
    static const std::string_view kShort = "\"\\\b\f\n\r\t";
    static const std::string_view kLetter = "\"\\bfnrt";
    const size_t found = kShort.find(static_cast<char>(byte));
    if (found != std::string_view::npos) {
        return std::string("\\") + kLetter[found];
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", byte);
    return escape;
}

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
    for (const auto& [key, value] : members) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Parser(text).Document();
}

std::string QuoteJson(std::string_view text) {
    std::string out = "\"";
    size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\') {
            out.push_back(static_cast<char>(byte));
            ++at;
        } else if (const size_t length = byte >= 0x80 ? Utf8SequenceLength(text, at) : 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += EscapedByte(byte);
            ++at;
        }
    }
    return out + "\"";
}

}  // namespace nmclient
