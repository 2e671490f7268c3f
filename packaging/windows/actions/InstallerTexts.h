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

// The values one of the properties CHROME_EXTENSION_IDS, FIREFOX_EXTENSION_IDS and
// TABLET_SETTINGS can take in a run of the MSI.
struct PropertySources {
    std::string current;     // its value now: the command line's, a dialog's, or the package's
    std::string packaged;    // the package's own Property table row (an administrator's
                             // transform); empty when there is none
    std::string remembered;  // the value the installation before kept; empty when none
    std::string fallback;    // the sample extension's ids; empty for TABLET_SETTINGS
};
struct TrustedValue {
    std::string value;
    bool refusedCurrent = false;  // the current value was set aside: the log says so
};
// The value a run takes. An administrator's (AdminUser) wins, then the remembered one, then the
// fallback. A person without administrator rights (a run elevated by policy or by an
// administrator's assignment: Privileged without AdminUser) changes nothing: the remembered
// value, else the package's own, else the fallback.
TrustedValue ChooseTrustedValue(const PropertySources& sources, bool adminUser);

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
