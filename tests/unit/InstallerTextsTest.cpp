// The MSI custom actions' texts from the installer's properties, and what they refuse.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "InstallerTexts.h"

namespace {

using Ids = std::vector<std::string>;
const std::string kChromeA = "abcdefghijklmnopabcdefghijklmnop";
const std::string kChromeB = "ponmlkjihgfedcbaponmlkjihgfedcba";
const std::string kGuid = "{01234567-89ab-cdef-0123-456789ABCDEF}";

TEST(InstallerTexts, HostManifestInputTakesIdListsAndRefusesMalformedOnes) {
    struct Case {
        std::string data;
        Ids chrome;
        Ids firefox;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"C:\\P\\|" + kChromeA + "|pad@site.example", {kChromeA}, {"pad@site.example"}, ""},
        {"C:\\P\\| " + kChromeA + " ; " + kChromeB + ",|" + kGuid + ";@x",
         {kChromeA, kChromeB},
         {kGuid, "@x"},
         ""},
        {"C:\\P\\|abc|pad@site",
         {"abc"},
         {"pad@site"},
         "CHROME_EXTENSION_IDS: not a Chrome extension id (32 letters a to p): 'abc'"},
        {"C:\\P\\|" + kChromeA + "|pad extension",
         {kChromeA},
         {"pad extension"},
         "FIREFOX_EXTENSION_IDS: not a Firefox extension id (name@domain or {GUID}): 'pad "
         "extension'"},
        {"C:\\P\\|" + kChromeA + "|{0123-4567}",
         {kChromeA},
         {"{0123-4567}"},
         "FIREFOX_EXTENSION_IDS: not a Firefox extension id (name@domain or {GUID}): "
         "'{0123-4567}'"},
        {"C:\\P\\|" + kChromeA + ";qrstuvwxyzqrstuvwxyzqrstuvwxyzqr|pad@site",
         {kChromeA, "qrstuvwxyzqrstuvwxyzqrstuvwxyzqr"},
         {"pad@site"},
         "CHROME_EXTENSION_IDS: not a Chrome extension id (32 letters a to p): "
         "'qrstuvwxyzqrstuvwxyzqrstuvwxyzqr'"},
        {"C:\\P\\| ; |pad@site", {}, {"pad@site"}, "CHROME_EXTENSION_IDS names no extension"},
        {"C:\\P\\", {}, {}, "no install folder and extension ids in 'C:\\P\\'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const HostManifestInput input = ParseHostManifestInput(c.data);
        EXPECT_EQ(input.error, c.error);
        if (input.folder.empty()) {
            continue;
        }
        EXPECT_EQ(input.folder, "C:\\P\\");
        EXPECT_EQ(input.chromeIds, c.chrome);
        EXPECT_EQ(input.firefoxIds, c.firefox);
    }
}

// The ids and the first settings file are an administrator's to choose: a person without the
// rights, in a run that Windows Installer elevates for them (a repair of an assigned package,
// AlwaysInstallElevated), keeps what was installed, whatever they give.
TEST(InstallerTexts, OnlyAnAdministratorsValuesAreTaken) {
    struct Case {
        const char* name;
        PropertySources sources;
        bool adminUser;
        std::string value;
        bool refused;
    };
    const Case cases[] = {
        {"an administrator's own", {"given", "", "kept", "sample"}, true, "given", false},
        {"an administrator's repair", {"", "", "kept", "sample"}, true, "kept", false},
        {"a repair by a person", {"given", "", "kept", "sample"}, false, "kept", true},
        {"a person's first install", {"given", "", "", "sample"}, false, "sample", true},
        {"a person's first, with a transform",
         {"site", "site", "", "sample"},
         false,
         "site",
         false},
        {"a person's repair, with a transform",
         {"site", "site", "kept", "sample"},
         false,
         "kept",
         true},
        {"a person's settings file", {"TabletType=7", "", "", ""}, false, "", true},
        {"a transform's settings file, in a person's run",
         {"TabletType=7", "TabletType=7", "", ""},
         false,
         "TabletType=7",
         false},
    };
    for (const Case& c : cases) {
        const TrustedValue chosen = ChooseTrustedValue(c.sources, c.adminUser);
        EXPECT_EQ(chosen.value, c.value) << c.name;
        EXPECT_EQ(chosen.refusedCurrent, c.refused) << c.name;
    }
}

TEST(InstallerTexts, ManifestNamesTheHostAsAJsonStringAndAllowsEveryId) {
    const std::string manifestTemplate =
        "{\"path\": \"%HOST_PATH%\", \"allowed_origins\": [%ALLOWED%]}";
    EXPECT_EQ(ManifestText(manifestTemplate, "%HOST_PATH%", "C:\\Program Files\\a\"b.exe",
                           "%ALLOWED%", "chromium", {kChromeA, kChromeB}),
              "{\"path\": \"C:\\\\Program Files\\\\a\\\"b.exe\", \"allowed_origins\": "
              "[\"chrome-extension://" +
                  kChromeA + "/\", \"chrome-extension://" + kChromeB + "/\"]}");
    EXPECT_EQ(ManifestText("[%ALLOWED%]", "%HOST_PATH%", "", "%ALLOWED%", "firefox", {kGuid}),
              "[\"" + kGuid + "\"]");
}

TEST(InstallerTexts, SettingsFileFromKeyValueItemsOrNothing) {
    EXPECT_EQ(SettingsFileText("TabletType=7; SocketPort = 3100;"),
              "[Tablet]\r\nTabletType=7\r\nSocketPort=3100\r\n");
    for (const char* refused : {"", " ; ", "TabletType", "Tablet Type=1", "=1", "Key=a\rb"}) {
        EXPECT_EQ(SettingsFileText(refused), std::nullopt) << refused;
    }
}

}  // namespace
