#include "WinePad.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace testsupport {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (const uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

}  // namespace

WinePad::WinePad(const std::string& prefix)
    : process({WINE_PROGRAM, WINEPAD_BINARY},
              ChildProcess::Environment{{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}}) {
    std::string line;
    if (!ReadLine(line, 90000ms) || line != "ready") {  // once the bus is installed and open
        ADD_FAILURE() << "winepad did not start: " << (line.empty() ? "no answer" : line);
    }
}

WinePad::~WinePad() {
    process.Write("quit\n");
    process.WaitForExit(10000ms);
}

bool WinePad::ReadLine(std::string& line, Milliseconds timeout) {
    line.clear();
    for (std::string byte; (byte = process.Read(1, timeout)).size() == 1;) {
        if (byte == "\r") {
            continue;  // a Windows program's line ends in CR LF
        }
        if (byte == "\n") {
            if (line.rfind("sent ", 0) == 0) {
                sent.push_back(line);
            }
            return true;
        }
        line += byte;
    }
    return false;
}

::testing::AssertionResult WinePad::Command(const std::string& line, const std::string& answer,
                                            Milliseconds timeout) {
    process.Write(line + "\n");
    std::string saidInstead;
    for (std::string said; ReadLine(said, timeout);) {
        if (said.rfind(answer, 0) == 0) {
            return ::testing::AssertionSuccess();
        }
        saidInstead += "\n  " + said;
    }
    return ::testing::AssertionFailure()
           << "winepad did not answer \"" << line << "\" with \"" << answer << "\" within "
           << timeout.count() << " ms; it said:" << (saidInstead.empty() ? " nothing" : saidInstead)
           << (process.Running() ? "" : "\n  and has ended");
}

uint32_t WinePad::Plug(uint16_t vendorId, uint16_t productId, const std::string& descriptor) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x %04x", vendorId, productId);
    const std::string path = descriptor.empty() ? "" : " Z:" + descriptor;
    return Plugged("plug " + std::string(ids) + path);
}

// winepad answers once the system lists the new pad, which a busy machine's Plug and Play can
// take many seconds to do; a refusal is a failure of the test, saying winepad's reason.
uint32_t WinePad::Plugged(const std::string& command) {
    process.Write(command + "\n");
    std::string said;
    while (ReadLine(said, 90000ms)) {
        if (said.rfind("plugged ", 0) == 0) {
            return static_cast<uint32_t>(std::stoul(said.substr(8)));
        }
        if (said.rfind("error", 0) == 0) {
            break;
        }
    }
    ADD_FAILURE() << "winepad did not plug \"" << command
                  << "\": " << (said.empty() ? "no answer" : said);
    return 0;
}

bool WinePad::Feed(uint32_t pad, const std::vector<uint8_t>& stream, size_t length,
                   uint8_t countFlags) {
    for (size_t at = 0; at < stream.size(); at += length - 1) {
        const size_t count = std::min(length - 1, stream.size() - at);
        std::vector<uint8_t> report(length, 0);
        report[0] = static_cast<uint8_t>(count | countFlags);
        std::copy_n(stream.begin() + static_cast<ptrdiff_t>(at), count, report.begin() + 1);
        if (!Command("input " + std::to_string(pad) + " " + Hex(report), "fed")) {
            return false;
        }
    }
    return true;
}

bool WinePad::FeedBytes(uint32_t pad, const std::vector<uint8_t>& bytes, size_t packetSize) {
    const size_t piece = 1000 / packetSize * packetSize;  // within what one input may carry
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const size_t count = std::min(piece, bytes.size() - at);
        const auto begin = bytes.begin() + static_cast<ptrdiff_t>(at);
        if (!Command("input " + std::to_string(pad) + " " + Hex({begin, begin + count}), "fed")) {
            return false;
        }
    }
    return true;
}

std::map<std::string, std::string> WinePad::PortState(uint32_t pad) {
    const std::string answer = "state " + std::to_string(pad) + " ";
    process.Write(answer + "\n");
    std::map<std::string, std::string> state;
    for (std::string said; ReadLine(said, 20000ms);) {
        if (said.rfind(answer, 0) == 0) {
            std::istringstream words(said.substr(answer.size()));
            for (std::string word; words >> word;) {
                const size_t equals = word.find('=');
                state[word.substr(0, equals)] = word.substr(equals + 1);
            }
            break;
        }
    }
    return state;
}

const std::vector<std::string>& WinePad::Sent() {
    std::string line;
    while (ReadLine(line, 200ms)) {
    }
    return sent;
}

}  // namespace testsupport
