#include "InstallerTexts.h"

#include <algorithm>
#include <cctype>

namespace {

std::string JsonStringContent(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(),
                                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

}  // namespace

std::string ManifestText(std::string_view manifestTemplate, std::string_view placeholder,
                         std::string_view hostPath) {
    std::string text(manifestTemplate);
    const auto at = text.find(placeholder);
    if (at != std::string::npos) {
        text.replace(at, placeholder.size(), JsonStringContent(hostPath));
    }
    return text;
}

std::optional<std::string> SettingsFileText(std::string_view items) {
    std::string lines;
    while (!items.empty()) {
        const auto end = std::min(items.find(';'), items.size());
        const std::string_view item = Trimmed(items.substr(0, end));
        items.remove_prefix(std::min(end + 1, items.size()));
        if (item.empty()) {
            continue;
        }
        const auto equals = item.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = Trimmed(item.substr(0, equals));
        const std::string_view value = Trimmed(item.substr(equals + 1));
        if (!IsKey(key) || value.find_first_of("\r\n") != std::string_view::npos) {
            return std::nullopt;
        }
        lines.append(key).append("=").append(value).append("\r\n");
    }
    if (lines.empty()) {
        return std::nullopt;
    }
    return "[Tablet]\r\n" + lines;
}
