#include "padsim/Options.h"

#include "common/ParseNumber.h"

#include <functional>
#include <map>

#include "padsim/PacketEncoder.h"

namespace padsim {
namespace {

// Command-line words, with "--name=value" split into name and value.
class ArgumentList {
public:
    explicit ArgumentList(const std::vector<std::string>& args) {
        for (const std::string& arg : args) {
            const size_t equals = arg.find('=');
            if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
                words_.push_back(arg.substr(0, equals));
                words_.push_back(arg.substr(equals + 1));
            } else {
                words_.push_back(arg);
            }
        }
    }
    bool done() const { return next_ >= words_.size(); }
    std::string Take() { return words_[next_++]; }
    std::optional<std::string> TakeValue() {
        if (done()) {
            return std::nullopt;
        }
        return Take();
    }

private:
    std::vector<std::string> words_;
    size_t next_ = 0;
};

std::optional<std::vector<int32_t>> NumberList(const std::string& text, size_t count) {
    std::vector<int32_t> values;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const auto value =
            tools::ParseNumber<int32_t>(text.substr(start, comma - start), 0, kMaxPadCoordinate);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
        start = comma + 1;
    }
    if (values.size() != count) {
        return std::nullopt;
    }
    return values;
}

std::optional<Mode> ModeNamed(const std::string& name) {
    static const std::map<std::string, Mode> modes = {{"bridge", Mode::kBridge},
                                                      {"server", Mode::kServer},
                                                      {"serial", Mode::kSerial},
                                                      {"usbpipe", Mode::kUsbPipe}};
    const auto found = modes.find(name);
    return found == modes.end() ? std::nullopt : std::optional<Mode>(found->second);
}

using Setter = std::function<bool(Options&, const std::string&)>;

template <typename T>
Setter NumberSetter(T Options::*field, T low, T high) {
    return [=](Options& o, const std::string& v) {
        const auto n = tools::ParseNumber<T>(v, low, high);
        if (n) {
            o.*field = *n;
        }
        return n.has_value();
    };
}

Setter TextSetter(std::string Options::*field) {
    return [=](Options& o, const std::string& v) {
        o.*field = v;
        return true;
    };
}

bool SetWindow(Options& o, const std::string& v) {
    const auto values = NumberList(v, 4);
    if (!values || (*values)[2] <= (*values)[0] || (*values)[3] - (*values)[1] < 5) {
        return false;
    }
    o.window = {(*values)[0], (*values)[1], (*values)[2], (*values)[3]};
    return true;
}

bool SetLogicalSize(Options& o, const std::string& v) {
    const auto values = NumberList(v, 2);
    if (!values) {
        return false;
    }
    o.logicalSize = {(*values)[0], (*values)[1]};
    return true;
}

bool SetRate(Options& o, const std::string& v) {
    o.rate = tools::ParseNumber<double>(v, 0.001, 1e7);
    return o.rate.has_value();
}

bool SetBurst(Options& o, const std::string& v) {
    const auto n = tools::ParseNumber<uint64_t>(v, 1, UINT64_MAX / 2);
    o.burst = n;
    return n.has_value();
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> setters = {
        {"--host", TextSetter(&Options::host)},
        {"--port", NumberSetter<uint16_t>(&Options::port, 1, 65535)},
        {"--identity", TextSetter(&Options::identity)},
        {"--tty", TextSetter(&Options::tty)},
        {"--node", TextSetter(&Options::node)},
        {"--serial-number", NumberSetter<uint32_t>(&Options::serialNumber, 0, kMaxSerialNumber)},
        {"--model-number", NumberSetter<uint32_t>(&Options::modelNumber, 0, kMaxModelNumber)},
        {"--start-after", NumberSetter<uint64_t>(&Options::startAfter, 0, UINT64_MAX)},
        {"--settle", NumberSetter<int>(&Options::settleMs, 0, 600000)},
        {"--delay", NumberSetter<int>(&Options::startDelayMs, 0, 600000)},
        {"--strokes", TextSetter(&Options::strokesFile)},
        {"--rate", SetRate},
        {"--burst", SetBurst},
        {"--window", SetWindow},
        {"--logical-size", SetLogicalSize},
        {"--time-limit", NumberSetter<double>(&Options::timeLimitSeconds, 0, 1e7)},
    };
    return setters;
}

std::string DefaultNode(const char* inkoraRoot) {
    const std::string base = inkoraRoot && *inkoraRoot ? std::string(inkoraRoot) + "/dev" : "/dev";
    return base + "/inkora-usbpipe0";
}

// Handles one option word; returns an error text or nothing.
std::optional<std::string> TakeOption(const std::string& word, ArgumentList& args, Options& o) {
    if (word == "--once" || word == "--loop") {
        o.loop = word == "--loop";
        return std::nullopt;
    }
    if (word == "--raw-coordinates") {
        o.rawCoordinates = true;
        return std::nullopt;
    }
    const auto setter = ValueOptions().find(word);
    if (setter == ValueOptions().end()) {
        return "unknown option " + word;
    }
    const auto value = args.TakeValue();
    if (!value) {
        return word + " needs a value";
    }
    if (!setter->second(o, *value)) {
        return "bad value for " + word + ": \"" + *value + "\"";
    }
    return std::nullopt;
}

void FillDefaults(Options& o, const char* inkoraRoot) {
    if (o.port == 0) {
        o.port = o.mode == Mode::kServer ? kDefaultServerPort : kDefaultBridgePort;
    }
    if (o.node.empty()) {
        o.node = DefaultNode(inkoraRoot);
    }
}

bool HelpAsked(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

double PointsPerSecond(const Options& options) {
    constexpr double kPadRate = 200.0;
    return options.rate.value_or(options.burst ? 0.0 : kPadRate);
}

OptionsResult ParseOptions(const std::vector<std::string>& args, const char* inkoraRoot) {
    OptionsResult result;
    if (HelpAsked(args)) {
        result.helpWanted = true;
        return result;
    }
    ArgumentList list(args);
    if (list.done()) {
        result.error = "no mode given (bridge, server, serial or usbpipe)";
        return result;
    }
    const std::string modeName = list.Take();
    const auto mode = ModeNamed(modeName);
    if (!mode) {
        result.error = "unknown mode \"" + modeName + "\"";
        return result;
    }
    Options options;
    options.mode = *mode;
    while (!list.done()) {
        if (const auto error = TakeOption(list.Take(), list, options)) {
            result.error = *error;
            return result;
        }
    }
    FillDefaults(options, inkoraRoot);
    result.options = options;
    return result;
}

}  // namespace padsim
