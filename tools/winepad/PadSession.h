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
// output: "plugged PAD" once the system lists the pad, "unplugged PAD" once it no longer does,
// "fed PAD", "signed PAD POINTS", "numbers PAD", "answered PAD", "dsr PAD", "refuse PAD",
// "hold PAD", "state PAD ...", "opened N", "closed N", "sent PAD KIND ID HEX" for everything
// the host sends a pad, "error TEXT".
class PadSession {
public:
    explicit PadSession(PadBusClient& bus) : bus(bus) {}
    ~PadSession();

    // False once the command was quit.
    bool Execute(const Command& command);
    // Reports what the host sends until `stop` is signalled; answers numbers queries.
    void WatchSent(PadBusClient& watch, HANDLE stop);
    void Say(const std::string& line);
    // Unplugs every pad still plugged and waits until the system has let them go.
    void UnplugAll();

private:
    enum class PadKind { kHid, kPort, kPipe };
    struct Pad {
        PadKind kind = PadKind::kHid;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
    };
    // What answers a pad's numbers queries.
    struct Answer {
        PadKind kind = PadKind::kHid;
        NumbersCommand numbers;
    };

    void Run(const PlugCommand& command);
    void Run(const PortCommand& command);
    void Run(const PipeCommand& command);
    void Run(const UnplugCommand& command);
    void Run(const InputCommand& command);
    void Run(const SignCommand& command);
    void Run(const NumbersCommand& command);
    void Run(const DsrCommand& command);
    void Run(const RefuseCommand& command);
    void Run(const HoldCommand& command);
    void Run(const StateCommand& command);
    void Run(const OccupyCommand& command);
    // The pad of a command that needs one of `kind`; nullptr (and an error said) otherwise.
    const Pad* Find(uint32_t pad, PadKind kind);
    void Plugged(std::optional<uint32_t> pad, const Pad& what);
    // A setting of a pad of `kind`, said as "NAME PAD" (or "error NAME PAD").
    void Set(uint32_t pad, PadKind kind, WinePadSettingKind setting, uint32_t value,
             const std::string& name);
    bool Feed(uint32_t pad, const Bytes& bytes);
    void AnswerNumbersQuery(const SentReport& sent);

    PadBusClient& bus;
    std::mutex sayMutex;
    std::mutex answersMutex;
    std::map<uint32_t, Answer> answers;   // by pad
    std::map<uint32_t, Pad> plugged;      // by pad
    std::map<uint32_t, HANDLE> occupied;  // by COM port number
};

}  // namespace winepad
