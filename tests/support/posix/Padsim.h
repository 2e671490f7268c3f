#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"

// Starting padsim, the simulated pad; PADSIM_BINARY names it in the tests that use it.
namespace testsupport {

// padsim with `arguments`, its mode first.
inline std::unique_ptr<ChildProcess> StartPadsim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), PADSIM_BINARY);
    return std::make_unique<ChildProcess>(arguments);
}

// padsim's bridge for a host that listens on `port`: it presents `identity`, gives up after
// `timeLimitSeconds`, and takes the `extra` options.
inline std::unique_ptr<ChildProcess> StartPadsimBridge(uint16_t port, const std::string& identity,
                                                       int timeLimitSeconds,
                                                       const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {"bridge",
                                          "--port",
                                          std::to_string(port),
                                          "--identity",
                                          identity,
                                          "--time-limit",
                                          std::to_string(timeLimitSeconds)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return StartPadsim(std::move(arguments));
}

}  // namespace testsupport
