#include "PadSession.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <type_traits>

#include "PadPresence.h"
#include "PadReports.h"
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

void PadSession::Run(const PlugCommand& command) {
    Bytes descriptor = DefaultPadDescriptor();
    if (!command.descriptorFile.empty() && !ReadFileBytes(command.descriptorFile, descriptor)) {
        Say("error cannot read " + command.descriptorFile);
        return;
    }
    const std::optional<uint32_t> pad = bus.Plug(command.vendorId, command.productId, descriptor);
    if (!pad) {
        Say("error the bus refused the pad");
    } else if (!AwaitPadInterface(command.vendorId, command.productId, *pad, true)) {
        Say("error pad " + std::to_string(*pad) + " was plugged but never listed");
    } else {
        plugged[*pad] = command;
        Say("plugged " + std::to_string(*pad));
    }
}

void PadSession::Run(const UnplugCommand& command) {
    const auto found = plugged.find(command.pad);
    if (found == plugged.end() || !bus.Unplug(command.pad)) {
        Say("error no pad " + std::to_string(command.pad));
        return;
    }
    const PlugCommand ids = found->second;
    plugged.erase(found);
    Say(AwaitPadInterface(ids.vendorId, ids.productId, command.pad, false)
            ? "unplugged " + std::to_string(command.pad)
            : "error pad " + std::to_string(command.pad) + " is still listed");
}

void PadSession::UnplugAll() {
    while (!plugged.empty()) {
        Run(UnplugCommand{plugged.begin()->first});
    }
}

void PadSession::Run(const InputCommand& command) {
    Say(bus.Input(command.pad, command.report)
            ? "fed " + std::to_string(command.pad)
            : "error pad " + std::to_string(command.pad) + " took no report");
}

// One report per point, each carrying that point's packet, at the rate's pace.
void PadSession::Run(const SignCommand& command) {
    const padsim::PadPoints points =
        padsim::FitIntoWindow(padsim::SampleSignatureDrawing(), padsim::PadWindow{});
    const auto step = std::chrono::microseconds(1000000 / command.rate);
    auto deadline = std::chrono::steady_clock::now();
    size_t sent = 0;
    for (const padsim::PadPoint& point : points) {
        std::this_thread::sleep_until(deadline += step);
        for (const Bytes& report : PackIntoReports(StreamOf({point}), command.reportLength)) {
            if (!bus.Input(command.pad, report)) {
                Say("error pad " + std::to_string(command.pad) + " took no report");
                return;
            }
        }
        ++sent;
    }
    Say("signed " + std::to_string(command.pad) + " " + std::to_string(sent));
}

void PadSession::Run(const NumbersCommand& command) {
    std::lock_guard<std::mutex> hold(answersMutex);
    answers[command.pad] = command;
    Say("numbers " + std::to_string(command.pad));
}

void PadSession::WatchSent(PadBusClient& watch, HANDLE stop) {
    while (const std::optional<SentReport> sent = watch.NextSent(stop)) {
        Say("sent " + std::to_string(sent->padId) + " " + std::to_string(sent->kind) + " " +
            std::to_string(sent->reportId) + " " + FormatHex(sent->bytes));
        AnswerNumbersQuery(*sent);
    }
}

// The numbers query is the single byte 0x00 in an output report; the answer is the pad's
// numbers packet in one input report.
void PadSession::AnswerNumbersQuery(const SentReport& sent) {
    NumbersCommand numbers;
    {
        std::lock_guard<std::mutex> hold(answersMutex);
        const auto found = answers.find(sent.padId);
        if (found == answers.end()) {
            return;
        }
        numbers = found->second;
    }
    const std::optional<Bytes> payload = SentPayload(sent.bytes, false);
    if (payload != Bytes{0x00}) {
        return;
    }
    const padsim::StreamPacket packet =
        padsim::EncodeNumbersAnswer(numbers.serialNumber, numbers.modelNumber);
    for (const Bytes& report :
         PackIntoReports(Bytes(packet.begin(), packet.end()), numbers.reportLength)) {
        bus.Input(sent.padId, report);
    }
    Say("answered " + std::to_string(sent.padId));
}

}  // namespace winepad
