#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "Commands.h"
#include "PadBusClient.h"

namespace winepad {

// Carries out the commands on the pad bus and reports what happens, one line each on standard
// output: "plugged PAD" once SetupAPI lists the pad, "unplugged PAD" once it no longer does, "fed
// PAD", "signed PAD POINTS", "answered PAD", "sent PAD KIND ID HEX" for every report the host
// sends, "error TEXT".
class PadSession {
public:
    explicit PadSession(PadBusClient& bus) : bus(bus) {}

    // False once the command was quit.
    bool Execute(const Command& command);
    // Reports what the host sends until `stop` is signalled; answers numbers queries.
    void WatchSent(PadBusClient& watch, HANDLE stop);
    void Say(const std::string& line);
    // Unplugs every pad still plugged and waits until the system has let them go.
    void UnplugAll();

private:
    void Run(const PlugCommand& command);
    void Run(const UnplugCommand& command);
    void Run(const InputCommand& command);
    void Run(const SignCommand& command);
    void Run(const NumbersCommand& command);
    void AnswerNumbersQuery(const SentReport& sent);

    PadBusClient& bus;
    std::mutex sayMutex;
    std::mutex answersMutex;
    std::map<uint32_t, NumbersCommand> answers;  // by pad
    std::map<uint32_t, PlugCommand> plugged;     // by pad, the ids it was plugged with
};

}  // namespace winepad
