#pragma once

#include <optional>
#include <string>
#include <string_view>

// The texts that the MSI's custom actions write; pure functions, no OS calls.

// TEMPLATE (a host manifest whose "path" holds PLACEHOLDER) with the placeholder replaced by
// HOST_PATH, a UTF-8 path, as a JSON string's content.
std::string ManifestText(std::string_view manifestTemplate, std::string_view placeholder,
                         std::string_view hostPath);

// The text of an Inkora.ini from the TABLET_SETTINGS property, "Key=Value;Key=Value": a [Tablet]
// section with one line per item, CR LF line ends. Empty when an item is not Key=Value with a
// key of letters and digits and a value without line breaks, or when there is no item.
std::optional<std::string> SettingsFileText(std::string_view items);
