#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The lines of a diagnostic log, each split into its message; a line without the 23-character
// prefix (12-character counter, colon, 8 lowercase hex digits, colon, blank) yields nothing at
// all, so that a malformed log compares unequal to any expectation. Lines may end in CR LF, as
// a log written in text mode on Windows does.
std::vector<std::string> LogMessages(const std::string& logText);

}  // namespace testsupport
