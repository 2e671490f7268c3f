#include "nmclient/Options.h"

#include "common/CommandLine.h"
#include "common/OptionChecks.h"
#include "nmclient/HelpText.h"

namespace nmclient {
namespace {

using tools::Decimal;

// nmclient's command line, bound to the options it fills.
class CommandLine {
public:
    CommandLine() {
        tools::UseToolStyle(app_);
        app_.footer(kHelpFooter);
        DeclareHost();
        DeclareSession();
        DeclareOutput();
    }

    CLI::App& app() { return app_; }
    const ClientOptions& options() const { return options_; }

private:
    void DeclareHost();
    void DeclareSession();
    void DeclareOutput();

    CLI::App app_{kHelpDescription, "nmclient"};
    ClientOptions options_;
};

void CommandLine::DeclareHost() {
    app_.add_option("--host-binary", options_.hostBinary,
                    "the host to start (default: Lumarq.OrvaneSignExtension beside nmclient)")
        ->type_name("PATH")
        ->transform(tools::NonEmpty());
}

void CommandLine::DeclareSession() {
    ClientOptions& o = options_;
    app_.add_option("--duration", o.durationSeconds, "send CLOSE S seconds after OPEN")
        ->type_name("S")
        ->transform(Decimal<double>(0, 1e7));
    app_.add_option("--points", o.points, "send CLOSE once N POINT messages have arrived")
        ->type_name("N")
        ->transform(Decimal<uint64_t>(1, UINT64_MAX));
    app_.add_option("--timeout", o.timeoutSeconds,
                    "send CLOSE after S seconds at the latest (60); 0 for no limit")
        ->type_name("S")
        ->transform(Decimal<double>(0, 1e7));
    app_.add_option("--close-timeout", o.closeTimeoutSeconds,
                    "how long to wait after CLOSE for the goodbye and the host's end (5);\n"
                    "a host still running then is killed")
        ->type_name("S")
        ->transform(Decimal<double>(0, 1e7));
    app_.add_option("--expect-status", o.expectStatus, "fail unless the OPEN reply's status is N")
        ->type_name("N")
        ->transform(Decimal<int64_t>(INT64_MIN, INT64_MAX));
}

void CommandLine::DeclareOutput() {
    ClientOptions& o = options_;
    app_.add_option("--svg", o.svgFile,
                    "write the captured strokes as SVG: one polyline per pen-down run (the\n"
                    "P=1 points up to the P=0 point that ends it), viewBox 0 0 maxx maxy\n"
                    "from the OPEN reply")
        ->type_name("FILE")
        ->transform(tools::NonEmpty());
    app_.add_option("--host-stderr", o.hostStderrFile,
                    "write the host's trace lines to FILE instead of nmclient's stderr")
        ->type_name("FILE")
        ->transform(tools::NonEmpty());
    app_.add_flag("--quiet", o.quiet, "print no frame lines");
    app_.add_flag("--progress", o.progress,
                  "keep a running count of points on one line of standard error,\n"
                  "in place of the POINT frame lines");
    app_.add_flag("--stats", o.stats,
                  "when the host has ended, print its processor time (user, system),\n"
                  "peak resident memory and the time from OPEN to its reply on standard error");
}

}  // namespace

ClientOptionsResult ParseClientOptions(const std::vector<std::string>& args) {
    CommandLine line;
    const tools::ParseOutcome outcome = tools::ParseCommandLine(line.app(), args);
    ClientOptionsResult result;
    result.helpWanted = outcome.helpWanted;
    result.error = outcome.error;
    if (!result.helpWanted && result.error.empty()) {
        result.options = line.options();
    }
    return result;
}

std::string HelpText() {
    CommandLine line;
    return line.app().help();
}

}  // namespace nmclient
