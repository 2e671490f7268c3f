#include "PadSession.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <type_traits>

#include "PadPresence.h"
#include "PadReports.h"
#include "PortState.h"
#include "padsim/PacketEncoder.h"
#include "padsim/PadGeometry.h"
#include "padsim/SampleSignature.h"

namespace winepad {
namespace {

bool ReadFileBytes(const std::string& path, Bytes& out) {
    std::ifstream file(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(file), {});
    return file.good() || file.eof();
}

Bytes StreamOf(const padsim::PadPoints& points) {
    Bytes stream;
    for (const padsim::PadPoint& point : points) {
        const padsim::StreamPacket packet = padsim::EncodePenPacket(point);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

}  // namespace

void PadSession::Say(const std::string& line) {
    std::lock_guard<std::mutex> hold(sayMutex);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

bool PadSession::Execute(const Command& command) {
    if (std::holds_alternative<QuitCommand>(command)) {
        return false;
    }
    std::visit(
        [this](const auto& each) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(each)>, QuitCommand>) {
                Run(each);
            }
        },
        command);
    return true;
}

PadSession::~PadSession() {
    for (const auto& [number, handle] : occupied) {
        CloseHandle(handle);
    }
}

const PadSession::Pad* PadSession::Find(uint32_t pad, PadKind kind) {
    const auto found = plugged.find(pad);
    if (found == plugged.end() || found->second.kind != kind) {
        Say("error no such pad " + std::to_string(pad));
        return nullptr;
    }
    return &found->second;
}

void PadSession::Plugged(std::optional<uint32_t> pad, const Pad& what) {
    if (!pad) {
        Say("error the bus refused the pad");
        return;
    }
    const bool listed = what.kind == PadKind::kHid
                            ? AwaitHidPadInterface(what.vendorId, what.productId, *pad, true)
                        : what.kind == PadKind::kPipe ? AwaitPipePadInterface(*pad, true)
                                                      : true;
    if (!listed) {
        Say("error pad " + std::to_string(*pad) + " was plugged but never listed");
        return;
    }
    plugged[*pad] = what;
    Say("plugged " + std::to_string(*pad));
}

void PadSession::Run(const PlugCommand& command) {
    Bytes descriptor = DefaultPadDescriptor();
    if (!command.descriptorFile.empty() && !ReadFileBytes(command.descriptorFile, descriptor)) {
        Say("error cannot read " + command.descriptorFile);
        return;
    }
    Plugged(bus.Plug(command.vendorId, command.productId, descriptor),
            Pad{PadKind::kHid, command.vendorId, command.productId});
}

void PadSession::Run(const PortCommand& command) {
    Plugged(bus.PlugPort(command.number), Pad{PadKind::kPort});
}

void PadSession::Run(const PipeCommand&) {
    Plugged(bus.PlugPipe(), Pad{PadKind::kPipe});
}

void PadSession::Run(const UnplugCommand& command) {
    const auto found = plugged.find(command.pad);
    if (found == plugged.end() || !bus.Unplug(command.pad)) {
        Say("error no pad " + std::to_string(command.pad));
        return;
    }
    const Pad pad = found->second;
    plugged.erase(found);
    const bool gone = pad.kind == PadKind::kHid
                          ? AwaitHidPadInterface(pad.vendorId, pad.productId, command.pad, false)
                      : pad.kind == PadKind::kPipe ? AwaitPipePadInterface(command.pad, false)
                                                   : true;
    Say(gone ? "unplugged " + std::to_string(command.pad)
             : "error pad " + std::to_string(command.pad) + " is still listed");
}

void PadSession::UnplugAll() {
    while (!plugged.empty()) {
        Run(UnplugCommand{plugged.begin()->first});
    }
}

bool PadSession::Feed(uint32_t pad, const Bytes& bytes) {
    if (!bus.Input(pad, bytes)) {
        Say("error pad " + std::to_string(pad) + " took no input");
        return false;
    }
    return true;
}

void PadSession::Run(const InputCommand& command) {
    if (Feed(command.pad, command.report)) {
        Say("fed " + std::to_string(command.pad));
    }
}

// Each point as the pad's kind sends it, at the rate's pace: a HID pad one report carrying the
// point's packet, a serial port the packet's bytes, a pipe pad one 4-byte packet.
void PadSession::Run(const SignCommand& command) {
    const auto found = plugged.find(command.pad);
    if (found == plugged.end() ||
        (found->second.kind == PadKind::kHid && command.reportLength < 2)) {
        Say("error cannot sign on pad " + std::to_string(command.pad));
        return;
    }
    const PadKind kind = found->second.kind;
    const padsim::PadPoints points =
        padsim::FitIntoWindow(padsim::SampleSignatureDrawing(), padsim::PadWindow{});
    const auto step = std::chrono::microseconds(1000000 / command.rate);
    auto deadline = std::chrono::steady_clock::now();
    size_t sent = 0;
    for (const padsim::PadPoint& point : points) {
        std::this_thread::sleep_until(deadline += step);
        std::vector<Bytes> pieces;
        if (kind == PadKind::kHid) {
            pieces = PackIntoReports(StreamOf({point}), command.reportLength);
        } else if (kind == PadKind::kPort) {
            pieces = {StreamOf({point})};
        } else {
            const padsim::UsbPipePacket packet = padsim::EncodeUsbPipePacket(point);
            pieces = {Bytes(packet.begin(), packet.end())};
        }
        for (const Bytes& piece : pieces) {
            if (!Feed(command.pad, piece)) {
                return;
            }
        }
        ++sent;
    }
    Say("signed " + std::to_string(command.pad) + " " + std::to_string(sent));
}

void PadSession::Run(const NumbersCommand& command) {
    const auto found = plugged.find(command.pad);
    if (found == plugged.end() ||
        (found->second.kind == PadKind::kHid && command.reportLength < 6)) {
        Say("error cannot answer on pad " + std::to_string(command.pad));
        return;
    }
    std::lock_guard<std::mutex> hold(answersMutex);
    answers[command.pad] = Answer{found->second.kind, command};
    Say("numbers " + std::to_string(command.pad));
}

void PadSession::Set(uint32_t pad, PadKind kind, WinePadSettingKind setting, uint32_t value,
                     const std::string& name) {
    if (Find(pad, kind) != nullptr) {
        Say((bus.Set(pad, setting, value) ? name : "error " + name) + " " + std::to_string(pad));
    }
}

void PadSession::Run(const DsrCommand& command) {
    Set(command.pad, PadKind::kPort, WinePadDsr, command.on ? 1 : 0, "dsr");
}

void PadSession::Run(const RefuseCommand& command) {
    Set(command.pad, PadKind::kPort, WinePadRefusedRate, command.rate, "refuse");
}

void PadSession::Run(const HoldCommand& command) {
    const auto found = plugged.find(command.pad);
    const bool port = found != plugged.end() && found->second.kind == PadKind::kPort;
    Set(command.pad, port ? PadKind::kPort : PadKind::kPipe,
        port ? WinePadLateWaits : WinePadHoldReads, command.on ? 1 : 0, "hold");
}

void PadSession::Run(const StateCommand& command) {
    if (Find(command.pad, PadKind::kPort) == nullptr) {
        return;
    }
    const std::optional<WinePadPortState> state = bus.PortState(command.pad);
    if (!state) {
        Say("error state " + std::to_string(command.pad));
        return;
    }
    Say("state " + std::to_string(command.pad) + " " + FormatPortState(*state));
}

void PadSession::Run(const OccupyCommand& command) {
    const std::string number = std::to_string(command.number);
    const auto found = occupied.find(command.number);
    if (!command.open) {
        if (found != occupied.end()) {
            CloseHandle(found->second);
            occupied.erase(found);
        }
        Say("closed " + number);
        return;
    }
    const HANDLE port = CreateFileA(("\\\\.\\COM" + number).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        Say("error COM" + number + ": error " + std::to_string(GetLastError()));
        return;
    }
    if (found != occupied.end()) {
        CloseHandle(found->second);
    }
    occupied[command.number] = port;
    Say("opened " + number);
}

void PadSession::WatchSent(PadBusClient& watch, HANDLE stop) {
    while (const std::optional<SentReport> sent = watch.NextSent(stop)) {
        Say("sent " + std::to_string(sent->padId) + " " + std::to_string(sent->kind) + " " +
            std::to_string(sent->reportId) + " " + FormatHex(sent->bytes));
        AnswerNumbersQuery(*sent);
    }
}

// The numbers query is the request byte 0x00: a HID pad gets it alone in an output report and
// answers with its numbers packet in one input report; a serial port gets request bytes among
// what is written to it and answers each.
void PadSession::AnswerNumbersQuery(const SentReport& sent) {
    Answer answer;
    {
        std::lock_guard<std::mutex> hold(answersMutex);
        const auto found = answers.find(sent.padId);
        if (found == answers.end()) {
            return;
        }
        answer = found->second;
    }
    const padsim::StreamPacket packet =
        padsim::EncodeNumbersAnswer(answer.numbers.serialNumber, answer.numbers.modelNumber);
    const Bytes numbers(packet.begin(), packet.end());
    std::vector<Bytes> replies;
    if (answer.kind == PadKind::kHid && SentPayload(sent.bytes, false) == Bytes{0x00}) {
        replies = PackIntoReports(numbers, answer.numbers.reportLength);
    } else if (answer.kind == PadKind::kPort && sent.kind == WinePadPortWrite) {
        for (const uint8_t byte : sent.bytes) {
            if (byte == 0x00) {
                replies.push_back(numbers);
            }
        }
    }
    for (const Bytes& reply : replies) {
        bus.Input(sent.padId, reply);
    }
    if (!replies.empty()) {
        Say("answered " + std::to_string(sent.padId));
    }
}

}  // namespace winepad
