#include "Commands.h"

#include <charconv>
#include <sstream>

namespace winepad {
namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number& out, int base) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, out, base);
    return !text.empty() && error == std::errc() && at == end;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::vector<std::string> Words(std::string_view line) {
    std::istringstream stream{std::string(line)};
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

bool ParseSwitch(const std::string& text, bool& on) {
    on = text == "on";
    return on || text == "off";
}

// The commands that name a pad and a setting of it.
std::variant<Command, std::string> BuildSetting(const std::vector<std::string>& w) {
    const std::string& name = w[0];
    uint32_t pad = 0;
    if (w.size() == 3 && ParseNumber(w[1], pad, 10)) {
        DsrCommand dsr{pad};
        RefuseCommand refuse{pad};
        HoldCommand hold{pad};
        if (name == "dsr" && ParseSwitch(w[2], dsr.on)) {
            return dsr;
        }
        if (name == "refuse" && ParseNumber(w[2], refuse.rate, 10)) {
            return refuse;
        }
        if (name == "hold" && ParseSwitch(w[2], hold.on)) {
            return hold;
        }
    }
    return "cannot read: " + name;
}

// The words after the command name: ids in hexadecimal, everything else decimal.
std::variant<Command, std::string> Build(const std::vector<std::string>& w) {
    const std::string& name = w[0];
    const size_t n = w.size();
    if (name == "plug" && (n == 3 || n == 4)) {
        PlugCommand plug;
        if (ParseNumber(w[1], plug.vendorId, 16) && ParseNumber(w[2], plug.productId, 16)) {
            plug.descriptorFile = n == 4 ? w[3] : "";
            return plug;
        }
    } else if (name == "port" && n == 2) {
        PortCommand port;
        if (ParseNumber(w[1], port.number, 10) && port.number > 0) {
            return port;
        }
    } else if (name == "pipe" && n == 1) {
        return PipeCommand{};
    } else if ((name == "open" || name == "close") && n == 2) {
        OccupyCommand occupy{0, name == "open"};
        if (ParseNumber(w[1], occupy.number, 10) && occupy.number > 0) {
            return occupy;
        }
    } else if (name == "state" && n == 2) {
        StateCommand state;
        if (ParseNumber(w[1], state.pad, 10)) {
            return state;
        }
    } else if (name == "dsr" || name == "refuse" || name == "hold") {
        return BuildSetting(w);
    } else if (name == "unplug" && n == 2) {
        UnplugCommand unplug;
        if (ParseNumber(w[1], unplug.pad, 10)) {
            return unplug;
        }
    } else if (name == "input" && n >= 3) {
        InputCommand input;
        std::string hex;
        for (size_t i = 2; i < n; ++i) {
            hex += w[i];
        }
        if (ParseNumber(w[1], input.pad, 10) && ParseHex(hex, input.report) &&
            !input.report.empty()) {
            return input;
        }
    } else if (name == "sign" && (n == 3 || n == 4)) {
        SignCommand sign;
        if (ParseNumber(w[1], sign.pad, 10) && ParseNumber(w[2], sign.reportLength, 10) &&
            (n == 3 || (ParseNumber(w[3], sign.rate, 10) && sign.rate > 0))) {
            return sign;
        }
    } else if (name == "numbers" && n == 5) {
        NumbersCommand numbers;
        if (ParseNumber(w[1], numbers.pad, 10) && ParseNumber(w[2], numbers.serialNumber, 10) &&
            ParseNumber(w[3], numbers.modelNumber, 10) &&
            ParseNumber(w[4], numbers.reportLength, 10)) {
            return numbers;
        }
    } else if (name == "quit" && n == 1) {
        return QuitCommand{};
    }
    return "cannot read: " + name;
}

}  // namespace

bool ParseHex(std::string_view text, Bytes& out) {
    out.clear();
    if (text.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

std::string FormatHex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

std::variant<Command, std::string> ParseCommand(std::string_view line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) {
        return std::string("empty line");
    }
    return Build(words);
}

}  // namespace winepad
