#include "nmclient/Options.h"

#include "common/ParseNumber.h"

namespace nmclient {
namespace {

bool TakeFlag(const std::string& word, ClientOptions& o) {
    if (word == "--quiet") {
        o.quiet = true;
    } else if (word == "--progress") {
        o.progress = true;
    } else if (word == "--stats") {
        o.stats = true;
    } else {
        return false;
    }
    return true;
}

// Sets the option `word` from `value`; false when the word is unknown or the value is bad.
bool TakeValue(const std::string& word, const std::string& value, ClientOptions& o) {
    if (word == "--host-binary" || word == "--svg" || word == "--host-stderr") {
        std::string& field = word == "--host-binary" ? o.hostBinary
                             : word == "--svg"       ? o.svgFile
                                                     : o.hostStderrFile;
        field = value;
        return !value.empty();
    }
    if (word == "--duration") {
        o.durationSeconds = tools::ParseNumber<double>(value, 0, 1e7);
        return o.durationSeconds.has_value();
    }
    if (word == "--points") {
        o.points = tools::ParseNumber<uint64_t>(value, 1, UINT64_MAX);
        return o.points.has_value();
    }
    if (word == "--expect-status") {
        o.expectStatus = tools::ParseNumber<int64_t>(value, INT64_MIN, INT64_MAX);
        return o.expectStatus.has_value();
    }
    double& seconds = word == "--timeout" ? o.timeoutSeconds : o.closeTimeoutSeconds;
    const auto parsed = tools::ParseNumber<double>(value, 0, 1e7);
    seconds = parsed.value_or(seconds);
    return parsed.has_value();
}

bool IsValueOption(const std::string& word) {
    for (const char* name : {"--host-binary", "--svg", "--host-stderr", "--duration", "--points",
                             "--expect-status", "--timeout", "--close-timeout"}) {
        if (word == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

ClientOptionsResult ParseClientOptions(const std::vector<std::string>& args) {
    ClientOptionsResult result;
    ClientOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string word = args[i];
        std::optional<std::string> value;
        if (const size_t equals = word.find('=');
            word.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        if (word == "--help" || word == "-h") {
            result.helpWanted = true;
            return result;
        }
        if (!value && TakeFlag(word, options)) {
            continue;
        }
        if (!IsValueOption(word)) {
            result.error = "unknown option " + word;
            return result;
        }
        if (!value && i + 1 < args.size()) {
            value = args[++i];
        }
        if (!value || !TakeValue(word, *value, options)) {
            result.error =
                value ? "bad value for " + word + ": \"" + *value + "\"" : word + " needs a value";
            return result;
        }
    }
    result.options = options;
    return result;
}

}  // namespace nmclient
