#include "platform/SerialPort.h"

#include <windows.h>
// The printer spooler's macro of the same name would rename the member.
#undef ConfigurePort

#include <algorithm>

namespace platform {
namespace {

constexpr DWORD kDriverQueueBytes = 0x4000;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kPurgeQueues = PURGE_TXCLEAR | PURGE_RXCLEAR;
// Reads and writes give up after 50 ms a byte, or 50 ms between two received bytes.
constexpr COMMTIMEOUTS kTimeouts = {50, 50, 0, 50, 0};
// A line whose comm waits fail (a pseudo-terminal behind a COM name under Wine fails every wait at
// once) is polled instead of spun on: its input queue every 10 ms, five times before the next
// wait.
constexpr DWORD kQueuePollMs = 10;
constexpr int kQueuePollsPerFailedWait = 5;

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

intptr_t Stored(HANDLE handle) {
    return reinterpret_cast<intptr_t>(handle);
}

// A manual-reset event, not signalled; -1 when none could be made.
intptr_t NewEvent() {
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event == nullptr ? -1 : Stored(event);
}

void CloseStored(intptr_t& handle) {
    if (handle != -1) {
        CloseHandle(Handle(handle));
        handle = -1;
    }
}

OVERLAPPED OverlappedAtStart(intptr_t event) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = Handle(event);
    return overlapped;
}

// Clears the port's error state, which would otherwise hold up further I/O, and returns how
// many received bytes wait in the input queue.
DWORD ClearErrorsAndCountWaiting(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(port, &errors, &status) ? status.cbInQue : 0;
}

void SetPadLineSettings(DCB& line, int32_t baudRate) {
    line.BaudRate = static_cast<DWORD>(baudRate);
    line.fBinary = TRUE;
    line.fParity = TRUE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.ByteSize = 8;
    line.Parity = ODDPARITY;
    line.StopBits = ONESTOPBIT;
}

// A line that cannot keep parity on (a pseudo-terminal under Wine) refuses odd parity while the
// odd-parity choice of an earlier open is still set on it, yet takes it from no parity.
bool SetFromNoParity(HANDLE port, DCB line) {
    DCB noParity = line;
    noParity.fParity = FALSE;
    noParity.Parity = NOPARITY;
    return SetCommState(port, &noParity) && SetCommState(port, &line);
}

// How a wait for comm events ended: the event word, or a failure (the wait refused, or ended
// with an error other than by `wake`).
struct CommWait {
    bool failed = false;
    DWORD events = 0;
};

// Waits for an event of the port's mask, or until `wake` is signalled (no events then). The
// wait writes to `overlapped` and `events` until it has ended, which only its event tells: a
// comm wait that a driver serves may leave its status word showing no pending wait (Wine
// writes an error there before handing the wait to the driver), so GetOverlappedResult would
// return while the driver still holds the wait and these variables had gone.
CommWait WaitForCommEvent(HANDLE port, HANDLE waitEvent, HANDLE wake) {
    OVERLAPPED overlapped = OverlappedAtStart(Stored(waitEvent));
    ResetEvent(waitEvent);
    DWORD events = 0;
    if (WaitCommEvent(port, &events, &overlapped)) {
        return {false, events};
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return {true, 0};
    }
    const HANDLE waits[] = {waitEvent, wake};
    const bool woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0;
    if (woken) {
        CancelIo(port);
        WaitForSingleObject(waitEvent, INFINITE);
    }
    DWORD unused = 0;
    const bool completed = GetOverlappedResult(port, &overlapped, &unused, FALSE);
    return {!completed && !woken, completed ? events : 0};
}

// True once bytes wait in the input queue; false when `wake` is signalled or the polls are up.
bool PollInputQueue(HANDLE port, HANDLE wake) {
    for (int poll = 0; poll < kQueuePollsPerFailedWait; ++poll) {
        if (WaitForSingleObject(wake, kQueuePollMs) != WAIT_TIMEOUT) {
            return false;
        }
        if (ClearErrorsAndCountWaiting(port) > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string DevicePathOfPortName(const std::string& portName) {
    return portName;
}

bool SerialPort::OpenDevice(const char* portName) {
    for (intptr_t* event : {&wakeHandle, &waitEvent, &readEvent, &writeEvent}) {
        *event = NewEvent();
    }
    // INVALID_HANDLE_VALUE is stored as -1, no handle.
    portHandle =
        Stored(CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (portHandle == -1 || wakeHandle == -1 || waitEvent == -1 || readEvent == -1 ||
        writeEvent == -1) {
        ReleaseDevice();
        return false;
    }
    const HANDLE port = Handle(portHandle);
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kDriverQueueBytes, kDriverQueueBytes);
    PurgeComm(port, kPurgeAll);
    COMMTIMEOUTS timeouts = kTimeouts;
    SetCommTimeouts(port, &timeouts);
    return true;
}

bool SerialPort::ConfigurePort() {
    const HANDLE port = Handle(portHandle);
    DCB line{};
    line.DCBlength = sizeof line;
    if (baudRate <= 0 || !GetCommState(port, &line)) {
        return false;
    }
    SetPadLineSettings(line, baudRate);
    const bool applied = SetCommState(port, &line) || SetFromNoParity(port, line);
    PurgeComm(port, kPurgeQueues);
    return applied;
}

void SerialPort::RaiseModemLines() {
    EscapeCommFunction(Handle(portHandle), SETDTR);
}

SerialPort::LineWait SerialPort::WaitForReceivedBytes() {
    const HANDLE port = Handle(portHandle);
    const CommWait wait = WaitForCommEvent(port, Handle(waitEvent), Handle(wakeHandle));
    if (!wait.failed) {
        return (wait.events & EV_RXCHAR) != 0 ? LineWait::kReceived : LineWait::kNothing;
    }
    // The wait failed: a line that no longer answers at all has gone (a driver refuses every
    // request of a device pulled out); one that still tells its queue is polled instead.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) {
        return LineWait::kGone;
    }
    return PollInputQueue(port, Handle(wakeHandle)) ? LineWait::kReceived : LineWait::kNothing;
}

void SerialPort::AwaitWake() {
    WaitForSingleObject(Handle(wakeHandle), INFINITE);
}

void SerialPort::WakeWatchThread() {
    SetEvent(Handle(wakeHandle));
    // Ends a pending WaitCommEvent.
    SetCommMask(Handle(portHandle), 0);
}

int32_t SerialPort::ReadPort(uint8_t* buffer, int32_t maximum) {
    const HANDLE port = Handle(portHandle);
    const DWORD waiting = ClearErrorsAndCountWaiting(port);
    const DWORD count = maximum > 0 ? std::min(static_cast<DWORD>(maximum), waiting) : 0;
    if (count == 0) {
        return 0;
    }
    OVERLAPPED overlapped = OverlappedAtStart(readEvent);
    DWORD got = 0;
    if (!ReadFile(port, buffer, count, nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        ClearErrorsAndCountWaiting(port);
        return 0;
    }
    // A read that fails part way keeps the bytes it delivered.
    if (!GetOverlappedResult(port, &overlapped, &got, TRUE)) {
        ClearErrorsAndCountWaiting(port);
    }
    return static_cast<int32_t>(got);
}

int32_t SerialPort::WritePort(const uint8_t* buffer, int32_t length) {
    if (portHandle == -1 || length <= 0) {
        return 0;
    }
    const HANDLE port = Handle(portHandle);
    OVERLAPPED overlapped = OverlappedAtStart(writeEvent);
    if (!WriteFile(port, buffer, static_cast<DWORD>(length), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        ClearErrorsAndCountWaiting(port);
        return 0;
    }
    DWORD sent = 0;
    if (!GetOverlappedResult(port, &overlapped, &sent, TRUE)) {
        ClearErrorsAndCountWaiting(port);
        return sent == 0 ? 0 : 1;
    }
    return 1;
}

int32_t SerialPort::ReadDsrLine() {
    DWORD lines = 0;
    if (!GetCommModemStatus(Handle(portHandle), &lines)) {
        // A line without modem signals refuses the query as not supported: a pseudo-terminal
        // behind a COM name under Wine (ERROR_NOT_SUPPORTED), a driver without the request
        // (ERROR_INVALID_FUNCTION). Nothing there can show the pad absent, so it counts as on.
        const DWORD error = GetLastError();
        return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ? 1 : 0;
    }
    return (lines & MS_DSR_ON) != 0 ? 1 : 0;
}

void SerialPort::ReleaseDevice() {
    if (portHandle != -1) {
        EscapeCommFunction(Handle(portHandle), CLRDTR);
        PurgeComm(Handle(portHandle), kPurgeAll);
    }
    for (intptr_t* handle : {&portHandle, &wakeHandle, &waitEvent, &readEvent, &writeEvent}) {
        CloseStored(*handle);
    }
}

}  // namespace platform
