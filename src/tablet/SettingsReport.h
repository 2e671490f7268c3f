#pragma once

#include <string>
#include <vector>

#include "tablet/ProfileReader.h"
#include "tablet/TabletSettings.h"

// What a settings file gave the host, for a person checking it (the host's --check).

// One key the host reads: its effective value and whether the file gave it.
struct SettingLine {
    std::string key;
    std::string value;
    bool fromFile = false;
};

// Every key the host reads, in the order of the settings table, with the value that `settings`
// (read from `file`) holds. A key of the model section counts as given when that section has it.
std::vector<SettingLine> DescribeSettings(const ProfileReader& file,
                                          const TabletSettings& settings);

// The keys of the [Tablet] section that the host does not read (a misspelt name, most often).
std::vector<std::string> UnknownKeys(const ProfileReader& file);

// Why a settings file gives nothing but defaults, or an empty text when it gives something: it
// has no [Tablet] section, none of the keys in that section is one the host reads, or every one
// it reads is empty (an empty value counts as an absent key).
std::string UselessSettingsReason(const ProfileReader& file);
