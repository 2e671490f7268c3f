#include "host/CommandLine.h"

#include <cstdio>
#include <string>

#include "host/SelfCheck.h"
#include "host/SettingsFilePath.h"
#include "platform/Directories.h"
#include "platform/Terminal.h"
#include "tablet/DiagnosticLog.h"

namespace {

constexpr const char* kProgramName = "Lumarq.OrvaneSignExtension";

void PrintHelp() {
    const std::string settings = SettingsFilePath();
    const std::string log = platform::PathInDirectory(platform::TempDirectory(), kLogFileName);
    std::printf(
        "Usage: %s [--help | --version | --check]\n"
        "\n"
        "The native-messaging host of Lumarq Orvane Sign: connects a signature pad to the\n"
        "browser extension of an e-signature service. The browser starts it when the extension\n"
        "asks for the pad and speaks to it in framed JSON on standard input and output; nobody\n"
        "starts it by hand. The arguments a browser adds are ignored.\n"
        "\n"
        "Settings file:  %s (section [Tablet])\n"
        "Diagnostic log: %s (written while EnableLogging=1)\n"
        "More: the manual page (man %s) and /usr/share/doc/lumarq-orvanesign/ on Linux;\n"
        "Inkora.ini.sample, a commented settings file, beside the program on Windows.\n"
        "\n"
        "  -h, --help  this text\n"
        "  --version   the version\n"
        "  --check     print the settings in effect, then open the pad, print its numbers and\n"
        "              logical size, and close it; exit code 0 when the pad answered\n",
        kProgramName, settings.c_str(), log.c_str(), kProgramName);
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
    if (arguments.front() == "--check") {
        return HostRequest::SelfCheck;
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
        case HostRequest::SelfCheck:
            return RunSelfCheck();
        case HostRequest::Serve:
            break;
    }
    if (platform::StandardInputIsTerminal()) {
        std::fprintf(stderr,
                     "%s: a browser starts this program for its extension and speaks to it in "
                     "framed JSON on standard input; typed lines are read as such frames. See "
                     "--help; --check tests the settings and the pad.\n",
                     kProgramName);
    }
    return std::nullopt;
}
