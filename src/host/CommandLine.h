#pragma once

#include <optional>
#include <string_view>
#include <vector>

// What the command line asks of the host. Browsers pass arguments of their own (Chrome the
// caller's origin and on Windows a window handle, Firefox the manifest's path and the
// extension's id), and the host serves them as always: only a first argument that no browser
// passes, --help (-h), --version or --check, asks for something else.
enum class HostRequest { Serve, PrintHelp, PrintVersion, SelfCheck };

HostRequest ParseHostCommandLine(const std::vector<std::string_view>& arguments);

// For a person at a terminal: prints the help or the version, or runs the self-check, on
// standard output and gives the exit code; or, when the host is to serve with a terminal as its
// input, says once on standard error that a browser starts it, and gives nothing.
std::optional<int> AnswerCommandLine(int argc, char* argv[]);
