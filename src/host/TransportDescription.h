#pragma once

#include <string>

#include "tablet/TabletSettings.h"

// For a person checking the settings (--check): the transport of kind `kind` and what it opens
// with these settings, the TCP ports as the transports really use them.
std::string TransportDescription(const TabletSettings& settings, int kind);
