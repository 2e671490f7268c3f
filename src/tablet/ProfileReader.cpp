#include "tablet/ProfileReader.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

int DigitValue(char c, bool hexadecimal) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hexadecimal) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower >= 'a' && lower <= 'f') {
            return lower - 'a' + 10;
        }
    }
    return -1;
}

std::string FromUtf16LittleEndian(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) |
                                                static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            continue;  // the second half of a pair: the first half stood for the character
        }
        text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return text;
}

}  // namespace

std::string DecodeProfileText(std::string_view fileBytes) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
    if (fileBytes.starts_with(kUtf8Mark)) {
        return std::string(fileBytes.substr(kUtf8Mark.size()));
    }
    if (fileBytes.starts_with(kUtf16LittleEndianMark)) {
        return FromUtf16LittleEndian(fileBytes.substr(kUtf16LittleEndianMark.size()));
    }
    return std::string(fileBytes);
}

ProfileReader::ProfileReader(std::string_view fileBytes) {
    const std::string decoded = DecodeProfileText(fileBytes);
    std::string_view text = decoded;
    Section* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            sections.push_back(Section{std::string(name), {}});
            current = &sections.back();
            continue;
        }
        const size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        current->entries.emplace_back(std::string(Trim(line.substr(0, equals))),
                                      std::string(Unquote(Trim(line.substr(equals + 1)))));
    }
}

bool SameProfileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

ProfileReader ProfileReader::FromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) {
        text << file.rdbuf();
    }
    return ProfileReader(text.str());
}

std::optional<std::string> ProfileReader::GetValue(std::string_view section,
                                                   std::string_view key) const {
    for (const Section& candidate : sections) {
        if (!SameProfileName(candidate.name, section)) {
            continue;
        }
        for (const auto& [name, value] : candidate.entries) {
            if (SameProfileName(name, key)) {
                return value.empty() ? std::nullopt : std::optional<std::string>(value);
            }
        }
        return std::nullopt;  // only the first matching section counts
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> ProfileReader::KeysIn(std::string_view section) const {
    for (const Section& candidate : sections) {
        if (SameProfileName(candidate.name, section)) {
            std::vector<std::string> keys;
            for (const auto& entry : candidate.entries) {
                keys.push_back(entry.first);
            }
            return keys;
        }
    }
    return std::nullopt;
}

int32_t ProfileReader::GetInt(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    const std::optional<std::string> value = GetValue(section, key);
    return value ? ParseProfileInteger(*value) : defaultValue;
}

std::string ProfileReader::GetString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, size_t maxLength) const {
    const std::optional<std::string> value = GetValue(section, key);
    return std::string(value ? std::string_view(*value) : defaultValue).substr(0, maxLength);
}

int32_t ParseProfileInteger(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hexadecimal = false;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hexadecimal = true;
        i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], hexadecimal);
        if (digit < 0) {
            break;
        }
        value = value * (hexadecimal ? 16u : 10u) + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}
