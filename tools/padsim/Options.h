#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "padsim/PadGeometry.h"

namespace padsim {

enum class Mode { kBridge, kServer, kSerial, kUsbPipe };

struct Options {
    Mode mode = Mode::kBridge;
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // filled with the mode's default when not given
    std::string identity;
    std::string tty;   // serial: drive this terminal instead of a new pseudo-terminal
    std::string node;  // usbpipe: where the FIFO goes
    uint32_t serialNumber = 123456;
    uint32_t modelNumber = 5;
    uint64_t startAfter = 1;
    bool silent = false;  // no request is answered
    int startDelayMs = 0;
    int settleMs = 300;
    std::string strokesFile;
    bool rawCoordinates = false;
    std::optional<double> rate;  // points per second; see PointsPerSecond
    bool loop = false;
    std::optional<uint64_t> burst;
    PadWindow window;
    LogicalSize logicalSize;
    double timeLimitSeconds = 30.0;  // 0: no limit
};

struct OptionsResult {
    std::optional<Options> options;
    bool helpWanted = false;
    std::string error;
};

inline constexpr uint16_t kDefaultBridgePort = 47290;
inline constexpr uint16_t kDefaultServerPort = 47289;

// Reads the command line (without the program name). `inkoraRoot` is the value of INKORA_ROOT,
// or null, for the default FIFO path.
OptionsResult ParseOptions(const std::vector<std::string>& args, const char* inkoraRoot);

// The pace of the points: --rate when given, else as fast as possible for a burst and 200 per
// second (a real pad's rate) otherwise. 0 stands for as fast as possible.
double PointsPerSecond(const Options& options);

std::string HelpText();

}  // namespace padsim
