#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

namespace tools {

// --help in the order a reader needs it: the usage line, the description, the options, the rest.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        return make_usage(app, name) + "\n" + make_description(app) + make_positionals(app) +
               make_groups(app, mode) + "\n" + make_footer(app);
    }
};

// What both tools share: a repeated option keeps its last value, and --help lists the options
// with their descriptions from column 24. Call before declaring any option.
inline void UseToolStyle(CLI::App& app) {
    auto formatter = std::make_shared<HelpFormatter>();
    formatter->column_width(24);
    app.formatter(formatter);
    app.set_help_flag("-h,--help", "this text");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

struct ParseOutcome {
    bool helpWanted = false;
    std::string error;  // empty when the command line was good
};

// Reads the command line (without the program name). --help anywhere wins over any error.
inline ParseOutcome ParseCommandLine(CLI::App& app, const std::vector<std::string>& args) {
    try {
        app.parse(
            std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 pops from the back
    } catch (const CLI::ParseError& error) {
        return {app.get_help_ptr()->count() > 0, error.what()};
    }
    return {};
}

}  // namespace tools
