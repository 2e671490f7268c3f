#pragma once

#include <string>

// Where the host reads the settings file: "Inkora.ini" in the Windows directory, the path cut to
// what a 260-byte buffer holds.
std::string SettingsFilePath();
