#include "host/CommandLine.h"

#include <cstdio>
#include <string>

#include "platform/Directories.h"
#include "platform/Terminal.h"
#include "tablet/DiagnosticLog.h"

namespace {

constexpr const char* kProgramName = "Lumarq.OrvaneSignExtension";

void PrintHelp() {
    const std::string settings =
        platform::PathInDirectory(platform::WindowsDirectory(), "Inkora.ini");
    const std::string log = platform::PathInDirectory(platform::TempDirectory(), kLogFileName);
    std::printf(
        "Usage: %s [--help | --version]\n"
        "\n"
        "The native-messaging host of Lumarq Orvane Sign: connects a signature pad to the\n"
        "browser extension of an e-signature service. The browser starts it when the extension\n"
        "asks for the pad and speaks to it in framed JSON on standard input and output; nobody\n"
        "starts it by hand. The arguments a browser adds are ignored.\n"
        "\n"
        "Settings file:  %s (section [Tablet])\n"
        "Diagnostic log: %s (written while EnableLogging=1)\n"
        "See the README (README.md), sections Settings and Troubleshooting.\n"
        "\n"
        "  -h, --help  this text\n"
        "  --version   the version\n",
        kProgramName, settings.c_str(), log.c_str());
}

}  // namespace

HostRequest ParseHostCommandLine(const std::vector<std::string_view>& arguments) {
    if (arguments.empty()) {
        return HostRequest::Serve;
    }
    if (arguments.front() == "--help" || arguments.front() == "-h") {
        return HostRequest::PrintHelp;
    }
    if (arguments.front() == "--version") {
        return HostRequest::PrintVersion;
    }
    return HostRequest::Serve;
}

std::optional<int> AnswerCommandLine(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    switch (ParseHostCommandLine(arguments)) {
        case HostRequest::PrintHelp:
            PrintHelp();
            return 0;
        case HostRequest::PrintVersion:
            std::printf("%s %s\n", kProgramName, HOST_VERSION);
            return 0;
        case HostRequest::Serve:
            break;
    }
    if (platform::StandardInputIsTerminal()) {
        std::fprintf(stderr,
                     "%s: a browser starts this program for its extension and speaks to it in "
                     "framed JSON on standard input; typed lines are read as such frames. See "
                     "--help, and the README's Troubleshooting section.\n",
                     kProgramName);
    }
    return std::nullopt;
}
