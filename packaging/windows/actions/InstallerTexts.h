#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The texts that the MSI's custom actions read and write; pure functions, no OS calls.

// What WriteHostManifests is given, "FOLDER|CHROME_IDS|FIREFOX_IDS": the install folder and the
// values of CHROME_EXTENSION_IDS and FIREFOX_EXTENSION_IDS, each a list of extension ids
// separated by ';' or ','.
struct HostManifestInput {
    std::string folder;
    std::vector<std::string> chromeIds;
    std::vector<std::string> firefoxIds;
    std::string error;  // why the input is refused, for the installation log; empty if it is not
};
HostManifestInput ParseHostManifestInput(std::string_view data);

// TEMPLATE (a host manifest whose "path" holds PATH_PLACEHOLDER and whose allowed list holds
// ALLOWED_PLACEHOLDER) with HOST_PATH, a UTF-8 path, as the path and the allowed list of IDS:
// Chrome extensions as their origins (kind "chromium"), Firefox extensions as they are.
std::string ManifestText(std::string_view manifestTemplate, std::string_view pathPlaceholder,
                         std::string_view hostPath, std::string_view allowedPlaceholder,
                         std::string_view kind, const std::vector<std::string>& ids);

// The text of an Inkora.ini from the TABLET_SETTINGS property, "Key=Value;Key=Value": a [Tablet]
// section with one line per item, CR LF line ends. Empty when an item is not Key=Value with a
// key of letters and digits and a value without line breaks, or when there is no item.
std::optional<std::string> SettingsFileText(std::string_view items);
