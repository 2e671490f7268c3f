#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nmclient {

struct ClientOptions {
    std::string hostBinary;  // empty: the host beside nmclient's own executable
    std::optional<double> durationSeconds;
    std::optional<uint64_t> points;
    double timeoutSeconds = 60.0;  // 0: wait for a signal as long as it takes
    double closeTimeoutSeconds = 5.0;
    std::string svgFile;
    std::string hostStderrFile;
    bool quiet = false;
    bool progress = false;
    bool stats = false;  // report the host's processor time and peak memory
    std::optional<int64_t> expectStatus;
};

struct ClientOptionsResult {
    std::optional<ClientOptions> options;
    bool helpWanted = false;
    std::string error;
};

ClientOptionsResult ParseClientOptions(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace nmclient
