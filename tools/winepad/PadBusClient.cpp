#include "PadBusClient.h"

#include <cstring>

namespace winepad {
namespace {

template <typename Header>
Bytes Message(const Header& header, const Bytes& tail) {
    Bytes message(sizeof header + tail.size());
    std::memcpy(message.data(), &header, sizeof header);
    std::memcpy(message.data() + sizeof header, tail.data(), tail.size());
    return message;
}

}  // namespace

std::unique_ptr<PadBusClient> PadBusClient::Open() {
    const HANDLE control = CreateFileA(WINEPAD_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    return control == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<PadBusClient>(control);
}

// One request on the overlapped handle; a signalled `stop` cancels it.
bool PadBusClient::Control(DWORD code, const Bytes& in, Bytes* out, HANDLE stop) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return false;
    }
    DWORD returned = 0;
    bool done = DeviceIoControl(
        control, code, const_cast<uint8_t*>(in.data()), static_cast<DWORD>(in.size()),
        out != nullptr ? out->data() : nullptr,
        out != nullptr ? static_cast<DWORD>(out->size()) : 0, &returned, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        const HANDLE waits[2] = {overlapped.hEvent, stop};
        if (WaitForMultipleObjects(stop != nullptr ? 2 : 1, waits, FALSE, INFINITE) !=
            WAIT_OBJECT_0) {
            CancelIoEx(control, &overlapped);
        }
        done = GetOverlappedResult(control, &overlapped, &returned, TRUE);
    }
    CloseHandle(overlapped.hEvent);
    if (done && out != nullptr) {
        out->resize(returned);
    }
    return done;
}

std::optional<uint32_t> PadBusClient::NewPadId(DWORD code, const Bytes& in) {
    Bytes answer(sizeof(ULONG));
    if (!Control(code, in, &answer) || answer.size() != sizeof(ULONG)) {
        return std::nullopt;
    }
    uint32_t id = 0;
    std::memcpy(&id, answer.data(), sizeof id);
    return id;
}

std::optional<uint32_t> PadBusClient::Plug(uint16_t vendorId, uint16_t productId,
                                           const Bytes& descriptor) {
    WinePadPlug request{};
    request.vendorId = vendorId;
    request.productId = productId;
    request.version = 1;
    request.descriptorLength = static_cast<unsigned short>(descriptor.size());
    return NewPadId(IOCTL_WINEPAD_PLUG, Message(request, descriptor));
}

std::optional<uint32_t> PadBusClient::PlugPort(uint32_t number) {
    const ULONG port = number;
    return NewPadId(IOCTL_WINEPAD_PLUG_PORT, Message(port, {}));
}

std::optional<uint32_t> PadBusClient::PlugPipe() {
    return NewPadId(IOCTL_WINEPAD_PLUG_PIPE, {});
}

bool PadBusClient::Set(uint32_t padId, WinePadSettingKind kind, uint32_t value) {
    const WinePadSetting setting{padId, static_cast<unsigned long>(kind), value};
    return Control(IOCTL_WINEPAD_SET, Message(setting, {}), nullptr);
}

std::optional<WinePadPortState> PadBusClient::PortState(uint32_t padId) {
    const ULONG id = padId;
    Bytes answer(sizeof(WinePadPortState));
    WinePadPortState state{};
    if (!Control(IOCTL_WINEPAD_PORT_STATE, Message(id, {}), &answer) ||
        answer.size() != sizeof state) {
        return std::nullopt;
    }
    std::memcpy(&state, answer.data(), sizeof state);
    return state;
}

bool PadBusClient::Unplug(uint32_t padId) {
    const ULONG id = padId;
    return Control(IOCTL_WINEPAD_UNPLUG, Message(id, {}), nullptr);
}

bool PadBusClient::Input(uint32_t padId, const Bytes& report) {
    WinePadReport header{};
    header.padId = padId;
    header.length = static_cast<unsigned long>(report.size());
    return Control(IOCTL_WINEPAD_INPUT, Message(header, report), nullptr);
}

std::optional<SentReport> PadBusClient::NextSent(HANDLE stop) {
    Bytes answer(sizeof(WinePadReport) + WINEPAD_MAX_REPORT);
    if (!Control(IOCTL_WINEPAD_NEXT_SENT, {}, &answer, stop) ||
        answer.size() < sizeof(WinePadReport)) {
        return std::nullopt;
    }
    WinePadReport header{};
    std::memcpy(&header, answer.data(), sizeof header);
    return SentReport{header.padId, header.kind, header.reportId,
                      Bytes(answer.begin() + sizeof header, answer.end())};
}

}  // namespace winepad
