#pragma once

#include <string>

namespace winepad {

// Installs the virtual pad bus into the running Wine prefix: copies the two drivers and the INF
// from the folder of this program into the prefix's Windows folders, creates the root device
// and installs its driver. Nothing is done when the bus already answers. Returns an empty text
// on success, else what failed.
std::string InstallPadBus();

}  // namespace winepad
