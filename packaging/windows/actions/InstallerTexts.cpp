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

void ReplaceFirst(std::string& text, std::string_view placeholder, std::string_view value) {
    const auto at = text.find(placeholder);
    if (at != std::string::npos) {
        text.replace(at, placeholder.size(), value);
    }
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto end = text.find_first_of(separators);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(end + 1);
    }
}

std::vector<std::string> Ids(std::string_view list) {
    std::vector<std::string> ids;
    for (const std::string_view part : Split(list, ";,")) {
        if (!Trimmed(part).empty()) {
            ids.emplace_back(Trimmed(part));
        }
    }
    return ids;
}

bool IsChromeExtensionId(std::string_view id) {
    return id.size() == 32 &&
           std::all_of(id.begin(), id.end(), [](char c) { return c >= 'a' && c <= 'p'; });
}

bool IsHexDigits(std::string_view text, size_t count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](unsigned char c) {
               return std::isxdigit(c) != 0;
           });
}

// name@domain (the name may be empty), or a GUID in braces: the forms Firefox accepts.
bool IsFirefoxExtensionId(std::string_view id) {
    if (id.size() == 38 && id.front() == '{' && id.back() == '}') {
        const std::vector<std::string_view> groups = Split(id.substr(1, 36), "-");
        const size_t lengths[] = {8, 4, 4, 4, 12};
        return groups.size() == 5 && std::equal(groups.begin(), groups.end(), lengths,
                                                [](std::string_view group, size_t length) {
                                                    return IsHexDigits(group, length);
                                                });
    }
    const auto at = id.find('@');
    const auto allowed = [](std::string_view part, std::string_view extra) {
        return std::all_of(part.begin(), part.end(), [&](unsigned char c) {
            return std::isalnum(c) != 0 || extra.find(static_cast<char>(c)) != std::string::npos;
        });
    };
    return at != std::string_view::npos && at + 1 < id.size() &&
           allowed(id.substr(0, at), "._+-") && allowed(id.substr(at + 1), ".-_");
}

// Why a list of ids is refused, or nothing.
std::string IdsError(const char* property, const std::vector<std::string>& ids,
                     bool (*valid)(std::string_view), const char* form) {
    if (ids.empty()) {
        return std::string(property) + " names no extension";
    }
    for (const std::string& id : ids) {
        if (!valid(id)) {
            return std::string(property) + ": not " + form + ": '" + id + "'";
        }
    }
    return {};
}

bool IsKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(),
                                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

}  // namespace

std::string ManifestText(std::string_view manifestTemplate, std::string_view pathPlaceholder,
                         std::string_view hostPath, std::string_view allowedPlaceholder,
                         std::string_view kind, const std::vector<std::string>& ids) {
    std::string allowed;
    for (const std::string& id : ids) {
        const std::string entry = kind == "chromium" ? "chrome-extension://" + id + "/" : id;
        allowed += (allowed.empty() ? "\"" : ", \"") + JsonStringContent(entry) + "\"";
    }
    std::string text(manifestTemplate);
    ReplaceFirst(text, pathPlaceholder, JsonStringContent(hostPath));
    ReplaceFirst(text, allowedPlaceholder, allowed);
    return text;
}

TrustedValue ChooseTrustedValue(const PropertySources& sources, bool adminUser) {
    const std::string* const order[] = {
        adminUser ? &sources.current : &sources.remembered,
        adminUser ? &sources.remembered : &sources.packaged,
        &sources.fallback,
    };
    TrustedValue chosen;
    for (const std::string* value : order) {
        if (!value->empty()) {
            chosen.value = *value;
            break;
        }
    }
    chosen.refusedCurrent = !sources.current.empty() && sources.current != chosen.value;
    return chosen;
}

HostManifestInput ParseHostManifestInput(std::string_view data) {
    HostManifestInput input;
    const std::vector<std::string_view> fields = Split(data, "|");
    if (fields.size() != 3 || Trimmed(fields[0]).empty()) {
        input.error = "no install folder and extension ids in '" + std::string(data) + "'";
        return input;
    }
    input.folder = Trimmed(fields[0]);
    input.chromeIds = Ids(fields[1]);
    input.firefoxIds = Ids(fields[2]);
    input.error = IdsError("CHROME_EXTENSION_IDS", input.chromeIds, IsChromeExtensionId,
                           "a Chrome extension id (32 letters a to p)");
    if (input.error.empty()) {
        input.error = IdsError("FIREFOX_EXTENSION_IDS", input.firefoxIds, IsFirefoxExtensionId,
                               "a Firefox extension id (name@domain or {GUID})");
    }
    return input;
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
