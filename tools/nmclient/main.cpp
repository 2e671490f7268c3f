// nmclient: stands in for the browser in a native-messaging session with the host.

#include <cstdio>
#include <string>
#include <vector>

#include "nmclient/Client.h"
#include "nmclient/Options.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const nmclient::ClientOptionsResult parsed = nmclient::ParseClientOptions(args);
    if (parsed.helpWanted) {
        std::fputs(nmclient::HelpText().c_str(), stdout);
        return nmclient::kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "nmclient: %s (see nmclient --help)\n", parsed.error.c_str());
        return nmclient::kExitUsage;
    }
    nmclient::InstallSignalHandlers();
    nmclient::Client client(*parsed.options);
    return client.Run();
}
