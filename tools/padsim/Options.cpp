#include "padsim/Options.h"

#include <map>

#include "common/CommandLine.h"
#include "common/OptionChecks.h"
#include "padsim/HelpText.h"
#include "padsim/PacketEncoder.h"

namespace padsim {
namespace {

using tools::Decimal;

const std::map<std::string, Mode>& Modes() {
    static const std::map<std::string, Mode> modes = {{"bridge", Mode::kBridge},
                                                      {"server", Mode::kServer},
                                                      {"serial", Mode::kSerial},
                                                      {"usbpipe", Mode::kUsbPipe}};
    return modes;
}

void SetWindow(Options& o, const std::vector<int32_t>& v) {
    if (v.size() != 4 || v[2] <= v[0] || v[3] - v[1] < 5) {
        throw CLI::ValidationError("--window", "needs X0,Y0,X1,Y1 with X0 < X1 and Y0 + 5 <= Y1");
    }
    o.window = {v[0], v[1], v[2], v[3]};
}

void SetLogicalSize(Options& o, const std::vector<int32_t>& v) {
    if (v.size() != 2) {
        throw CLI::ValidationError("--logical-size", "needs W,H");
    }
    o.logicalSize = {v[0], v[1]};
}

// padsim's command line, bound to the options it fills.
class CommandLine {
public:
    CommandLine() {
        tools::UseToolStyle(app_);
        app_.footer(kHelpFooter);
        app_.add_option("MODE", modeName_, "bridge, server, serial or usbpipe (see Modes)")
            ->required()
            ->type_name("")
            ->check(CLI::IsMember(Modes()).description(""));
        DeclareConnection();
        DeclareAnswersAndStart();
        DeclarePlayback();
        DeclareDrawing();
    }

    CLI::App& app() { return app_; }
    const Options& options() const { return options_; }
    Mode mode() const { return Modes().at(modeName_); }

private:
    void DeclareConnection();
    void DeclareAnswersAndStart();
    void DeclarePlayback();
    void DeclareDrawing();

    CLI::App app_{kHelpDescription, "padsim"};
    Options options_;
    std::string modeName_;
};

void CommandLine::DeclareConnection() {
    Options& o = options_;
    app_.add_option("--host", o.host,
                    "bridge: where to connect; server: where to listen (127.0.0.1)")
        ->type_name("ADDR");
    app_.add_option("--port", o.port, "TCP port (bridge 47290, server 47289)")
        ->type_name("N")
        ->transform(Decimal<uint16_t>(1, 65535));
    app_.add_option("--identity", o.identity, "bridge: the identity in the hello (empty)")
        ->type_name("TEXT");
    app_.add_option("--tty", o.tty, "serial: drive this terminal instead of a new pseudo-terminal")
        ->type_name("PATH");
    app_.add_option("--node", o.node, "usbpipe: where to create the FIFO")->type_name("PATH");
}

void CommandLine::DeclareAnswersAndStart() {
    Options& o = options_;
    app_.add_option("--serial-number", o.serialNumber,
                    "serial number in the answer, 0..262143 (123456)")
        ->type_name("N")
        ->transform(Decimal<uint32_t>(0, kMaxSerialNumber));
    app_.add_option("--model-number", o.modelNumber, "model number in the answer, 0..63 (5)")
        ->type_name("N")
        ->transform(Decimal<uint32_t>(0, kMaxModelNumber));
    app_.add_option("--start-after", o.startAfter,
                    "start the points once a connection has carried N request bytes\n"
                    "(1: the host's numbers query sends 0x00 once to a pad that answers it,\n"
                    "up to four times to one that does not). 0 starts at once. The host's\n"
                    "presence check connects and leaves without a request, so it gets no\n"
                    "points. Not used by usbpipe, nor by server, whose host sends nothing\n"
                    "(both wait for --settle instead).")
        ->type_name("N")
        ->transform(Decimal<uint64_t>(0, UINT64_MAX));
    app_.add_flag("--silent", o.silent,
                  "answer no request byte: a pad that never tells its numbers");
    app_.add_option("--delay", o.startDelayMs,
                    "wait MS milliseconds after the start (requests or settle) before\n"
                    "the first point (0); lets a burst begin once the host's point pump\n"
                    "runs, about 200 ms after the last request, instead of filling the\n"
                    "host's queue of 4999 points before it")
        ->type_name("MS")
        ->transform(Decimal<int>(0, 600000));
    app_.add_option("--settle", o.settleMs,
                    "usbpipe: start the points once a reader has held the node this long,\n"
                    "server: once the host has held its connection this long (300), which\n"
                    "lets the presence check's short open pass")
        ->type_name("MS")
        ->transform(Decimal<int>(0, 600000));
}

void CommandLine::DeclarePlayback() {
    Options& o = options_;
    app_.add_option("--strokes", o.strokesFile,
                    "play the points of FILE instead of the built-in signature")
        ->type_name("FILE");
    app_.add_flag("--raw-coordinates", o.rawCoordinates,
                  "send the points as they are: no fitting into the pad window, and in\n"
                  "server mode no mapping to logical units. Values must be 0..4095.");
    app_.add_option("--rate", o.rate,
                    "points per second (200, like a real pad); paced by absolute deadlines")
        ->type_name("N")
        ->transform(Decimal<double>(0.001, 1e7));
    // Callbacks in command-line order, so that the last of --once and --loop counts.
    app_.add_flag_callback(
            "--once", [&o] { o.loop = false; },
            "play the points once, then end when the host closes (default)")
        ->trigger_on_parse();
    app_.add_flag_callback(
            "--loop", [&o] { o.loop = true; },
            "play the points over and over until stopped or the time limit")
        ->trigger_on_parse();
    app_.add_option("--burst", o.burst,
                    "play N synthetic points (for benchmarks), as fast as possible\n"
                    "unless --rate is given")
        ->type_name("N")
        ->transform(Decimal<uint64_t>(1, UINT64_MAX / 2));
}

void CommandLine::DeclareDrawing() {
    Options& o = options_;
    const auto coordinate = Decimal<int32_t>(0, kMaxPadCoordinate);
    app_.add_option_function<std::vector<int32_t>>(
            "--window", [&o](const std::vector<int32_t>& v) { SetWindow(o, v); },
            "the pad's coordinate window (500,350,2650,2100)")
        ->option_text("X0,Y0,X1,Y1")
        ->delimiter(',')
        ->transform(coordinate);
    app_.add_option_function<std::vector<int32_t>>(
            "--logical-size", [&o](const std::vector<int32_t>& v) { SetLogicalSize(o, v); },
            "server mode: the logical size points are mapped to (2150,1400)")
        ->option_text("W,H")
        ->delimiter(',')
        ->transform(coordinate);
    app_.add_option("--time-limit", o.timeLimitSeconds,
                    "end the run after S seconds in all (30); 0 for no limit")
        ->type_name("S")
        ->transform(Decimal<double>(0, 1e7));
}

std::string DefaultNode(const char* inkoraRoot) {
    const std::string base = inkoraRoot && *inkoraRoot ? std::string(inkoraRoot) + "/dev" : "/dev";
    return base + "/inkora-usbpipe0";
}

void FillDefaults(Options& o, const char* inkoraRoot) {
    if (o.port == 0) {
        o.port = o.mode == Mode::kServer ? kDefaultServerPort : kDefaultBridgePort;
    }
    if (o.node.empty()) {
        o.node = DefaultNode(inkoraRoot);
    }
}

}  // namespace

double PointsPerSecond(const Options& options) {
    constexpr double kPadRate = 200.0;
    return options.rate.value_or(options.burst ? 0.0 : kPadRate);
}

OptionsResult ParseOptions(const std::vector<std::string>& args, const char* inkoraRoot) {
    CommandLine line;
    const tools::ParseOutcome outcome = tools::ParseCommandLine(line.app(), args);
    OptionsResult result;
    result.helpWanted = outcome.helpWanted;
    result.error = outcome.error;
    if (result.helpWanted || !result.error.empty()) {
        return result;
    }
    Options options = line.options();
    options.mode = line.mode();
    FillDefaults(options, inkoraRoot);
    result.options = options;
    return result;
}

std::string HelpText() {
    CommandLine line;
    return line.app().help();
}

}  // namespace padsim
