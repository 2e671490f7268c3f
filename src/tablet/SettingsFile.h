#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "tablet/ProfileReader.h"
#include "tablet/TabletSettings.h"

// A text value of the settings file holds at most 127 characters.
inline constexpr size_t kSettingsTextSize = 128;

// Copies text into a fixed field, cut to fit, always terminated.
template <size_t N>
void CopySettingsText(char (&target)[N], std::string_view text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

// Reads every key of the settings file into settings. Keys the file lacks take their defaults;
// the transport kind keeps the high bits TabletType held and takes the low four from the file
// (or keeps its own). SettingsFileOverride and SettingsFileName are left as they are.
void ReadSettingsFile(const ProfileReader& file, TabletSettings& settings);
