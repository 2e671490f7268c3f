// padsim: plays a signature pad on the pad's side of the host's transports.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "padsim/Modes.h"
#include "padsim/Options.h"
#include "padsim/PointSources.h"
#include "padsim/Runtime.h"

namespace {

int Run(const padsim::Options& options, padsim::Playback& playback) {
    switch (options.mode) {
        case padsim::Mode::kBridge:
            return padsim::RunBridge(options, playback);
        case padsim::Mode::kServer:
            return padsim::RunServer(options, playback);
        case padsim::Mode::kSerial:
            return padsim::RunSerial(options, playback);
        case padsim::Mode::kUsbPipe:
            return padsim::RunUsbPipe(options, playback);
    }
    return padsim::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const padsim::OptionsResult parsed = padsim::ParseOptions(args, std::getenv("INKORA_ROOT"));
    if (parsed.helpWanted) {
        std::fputs(padsim::HelpText().c_str(), stdout);
        return padsim::kExitNormal;
    }
    if (!parsed.options) {
        padsim::Log(parsed.error + " (see padsim --help)");
        return padsim::kExitUsage;
    }
    const padsim::Options& options = *parsed.options;
    const padsim::PointSourceResult source = padsim::BuildPointSource(options);
    if (!source.error.empty()) {
        padsim::Log(source.error);
        return padsim::kExitUsage;
    }
    padsim::InstallSignalHandlers();
    padsim::Playback playback(source.source, padsim::PointsPerSecond(options), options.loop);
    const int exitCode = Run(options, playback);
    if (padsim::StopRequested()) {
        padsim::Log("stopped by a signal");
    }
    return exitCode;
}
