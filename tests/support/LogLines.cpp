#include "LogLines.h"

#include <cctype>
#include <sstream>

namespace testsupport {
namespace {

bool HasLogPrefix(const std::string& line) {
    if (line.size() < 23 || line[12] != ':' || line[21] != ':' || line[22] != ' ') {
        return false;
    }
    for (size_t i = 0; i < 12; ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (!digit && !(i == 0 && line[i] == '-')) {
            return false;
        }
    }
    for (size_t i = 13; i < 21; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i])) &&
            (line[i] < 'a' || line[i] > 'f')) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> LogMessages(const std::string& logText) {
    std::vector<std::string> messages;
    std::istringstream lines(logText);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!HasLogPrefix(line)) {
            return {};
        }
        messages.push_back(line.substr(23));
    }
    return messages;
}

}  // namespace testsupport
