#pragma once

namespace nmclient {

// The prose of --help before and after the list of options, which CLI11 writes from the
// options' own descriptions.
extern const char* const kHelpDescription;
extern const char* const kHelpFooter;

}  // namespace nmclient
