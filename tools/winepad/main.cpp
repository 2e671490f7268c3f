// winepad: a virtual HID pad for the Windows host under Wine. Installs the pad bus into the
// prefix (unless it is there already), then reads commands from standard input, one a line,
// and reports on standard output (see PadSession.h and tools/README.md). The pads vanish when
// the program ends.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "Commands.h"
#include "PadBusClient.h"
#include "PadInstaller.h"
#include "PadSession.h"

int main() {
    const std::string failure = winepad::InstallPadBus();
    std::unique_ptr<winepad::PadBusClient> bus =
        failure.empty() ? winepad::PadBusClient::Open() : nullptr;
    if (bus == nullptr) {
        std::fprintf(stderr, "winepad: %s\n", failure.empty() ? "no pad bus" : failure.c_str());
        return 1;
    }
    // The watcher waits on a handle of its own, so that its pending request never stands in
    // the way of a command's.
    std::unique_ptr<winepad::PadBusClient> watch = winepad::PadBusClient::Open();
    winepad::PadSession session(*bus);
    const HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watcher(&winepad::PadSession::WatchSent, &session, std::ref(*watch), stop);
    session.Say("ready");
    for (std::string line; std::getline(std::cin, line);) {
        const auto parsed = winepad::ParseCommand(line);
        if (const std::string* error = std::get_if<std::string>(&parsed)) {
            session.Say("error " + *error);
        } else if (!session.Execute(std::get<winepad::Command>(parsed))) {
            break;
        }
    }
    session.UnplugAll();
    SetEvent(stop);
    watcher.join();
    CloseHandle(stop);
    session.Say("bye");
    return 0;
}
