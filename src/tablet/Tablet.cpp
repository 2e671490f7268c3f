#include "tablet/Tablet.h"

#include <chrono>
#include <thread>

#include "processing/CircularBufferWin.h"
#include "processing/ProcessSerialDataWin.h"
#include "tablet/DiagnosticLog.h"
#include "transports/HidIoIFWin.h"
#include "transports/NewSocketIoIFWin.h"
#include "transports/SerialIoIFWin.h"
#include "transports/SocketIoIFWin.h"
#include "transports/UsbIoIFWin.h"

namespace {

void SleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

constexpr uint8_t kNumberRequest = 0x00;  // asks the pad for its serial and model numbers
// The longest a query waits for the answer: the serial query's two 100 ms steps, and each of
// the model query's two steps.
constexpr auto kSerialQueryWait = std::chrono::milliseconds(200);
constexpr auto kModelQueryStep = std::chrono::milliseconds(100);

// A TCP peer can be held by the flow control of its connection, so its points wait for room in
// the queue; a local pad cannot be held, and what does not fit is dropped and counted.
WhenFull WhenFullFor(int kind) {
    return kind == kTcpClientTransport || kind == kTcpListenerTransport ? WhenFull::kWaitForRoom
                                                                        : WhenFull::kDropNew;
}

}  // namespace

Tablet::Tablet()
    : serialTransport(std::make_unique<SerialIoIFWin>(this)),
      hidTransport(std::make_unique<HidIoIFWin>(this)),
      usbTransport(std::make_unique<UsbIoIFWin>(this)),
      socketTransport(std::make_unique<SocketIoIFWin>(this)),
      newSocketTransport(std::make_unique<NewSocketIoIFWin>(this)),
      inputProcessor(std::make_unique<ProcessSerialDataWin>(this)) {
    inputRing = std::make_unique<CircularBufferWin>();
    pointQueue = std::make_unique<PointQueue>();
    answerQueue = std::make_unique<PointQueue>();
    spareQueue = std::make_unique<PointQueue>();
    byteQueue = std::make_unique<PointQueue>();
    settings.SettingsFileOverride[0] = '\0';
    InitSettings();
    isOpen = false;
    stopInput = false;
    serialResetState = false;
    inputRunning = false;
    serialNumber = 0;
    modelNumber = 0;
    auxValue = 0;
    packetState = 0;
}

Tablet::~Tablet() {
    SleepMs(10);
    CloseTablet();
    // The input processor goes first: should its thread still run (a caller started it without
    // opening the pad), it is stopped while the ring it waits on still exists.
    inputProcessor.reset();
    inputRing.reset();
    pointQueue.reset();
    answerQueue.reset();
    spareQueue.reset();
    byteQueue.reset();
    socketTransport.reset();
    usbTransport.reset();
    hidTransport.reset();
    serialTransport.reset();
    newSocketTransport.reset();
    CloseLogFile();
}

int Tablet::GetTransportKind() const {
    const int kind = settings.TabletType & 0x0F;
    return kind > kTcpListenerTransport ? kSerialTransport : kind;
}

bool Tablet::OpenTablet() {
    const int kind = GetTransportKind();
    OpenLogFile(settings);
    pointQueue->ResetQueue();
    pointQueue->SetWhenFull(WhenFullFor(kind));
    answerQueue->ResetQueue();
    spareQueue->ResetQueue();
    readerFoundPadGone = false;
    padGoneAnnounced = false;
    numbersRequested = false;

    bool opened = false;
    switch (kind) {
        case kSerialTransport:
        case kSerialTransport3:
            inputProcessor->StartSerialInput();
            opened = serialTransport->InitTablet();
            if (opened && settings.CheckConnectedOnOpen && !serialTransport->CheckConnected()) {
                serialTransport->TabletClose();
                opened = false;
            }
            if (!opened) {
                inputProcessor->CloseProcessInputData();
            }
            break;
        case kUsbPipeTransport:
            opened = usbTransport->InitTablet();
            break;
        case kTcpClientTransport:
            opened = socketTransport->InitTablet();
            break;
        case kHidTransport:
            WriteLogLine("Opening Hid Tablet");
            inputProcessor->StartSerialInput();
            opened = hidTransport->InitTablet();
            if (!opened) {
                inputProcessor->CloseProcessInputData();
            }
            break;
        case kTcpListenerTransport:
            WriteLogLine("Opening NewSocket Tablet");
            inputProcessor->StartSerialInput();
            opened = newSocketTransport->InitTablet();
            if (!opened) {
                inputProcessor->CloseProcessInputData();
            }
            break;
        default:
            break;
    }
    if (opened && (kind == kSerialTransport || kind == kSerialTransport3)) {
        // A serial pad may draw its power from the modem lines the open has just raised: it
        // gets its 10 ms to come up before the first byte. The other pads are running before
        // the open succeeds (an enumerated USB device, a peer that has connected or presented
        // its hello).
        SleepMs(10);
    }
    isOpen = opened;
    return opened;
}

bool Tablet::CloseTablet() {
    if (!isOpen) {
        return false;
    }
    switch (GetTransportKind()) {
        case kSerialTransport:
        case kSerialTransport3:
            serialTransport->TabletClose();
            inputProcessor->CloseProcessInputData();
            break;
        case kUsbPipeTransport:
            usbTransport->TabletClose();
            break;
        case kTcpClientTransport:
            socketTransport->TabletClose();
            break;
        case kHidTransport:
            WriteLogLine("Closing Hid Tablet");
            hidTransport->TabletClose();
            WriteLogLine("Closing Process Input Data");
            inputProcessor->CloseProcessInputData();
            WriteLogLine("Done Closing Hid Tablet");
            break;
        case kTcpListenerTransport:
            newSocketTransport->TabletClose();
            inputProcessor->CloseProcessInputData();
            break;
        default:
            break;
    }
    if (const uint64_t lost = pointQueue->DroppedCount(); lost > 0) {
        WriteLogFormat("CloseTablet: %llu pen points lost, the point queue was full",
                       static_cast<unsigned long long>(lost));
    }
    isOpen = false;
    return true;
}

bool Tablet::CheckTabletConnected() {
    const int kind = GetTransportKind();
    bool openedHere = false;
    if (!isOpen) {
        if (!OpenTablet()) {
            return false;
        }
        openedHere = true;
    }
    bool connected = false;
    switch (kind) {
        case kSerialTransport:
        case kSerialTransport3:
            connected = serialTransport->CheckConnected();
            break;
        case kHidTransport:
            connected = hidTransport->CheckConnected();
            break;
        case kUsbPipeTransport:
        case kTcpClientTransport:
        case kTcpListenerTransport:
            connected = true;  // the open itself has shown the pad, or its peer, to be there
            break;
        default:
            break;
    }
    if (openedHere) {
        CloseTablet();
    }
    WriteLogFormat("CheckTabletConnected returning %d", connected ? 1 : 0);
    return connected;
}

int32_t Tablet::GetSerialNumber() {
    if (isOpen && !NumbersAnswered()) {
        RequestNumbers(kSerialQueryWait);
    }
    return serialNumber;
}

int32_t Tablet::GetModelNumber() {
    if (isOpen && !NumbersAnswered() && !RequestNumbers(kModelQueryStep)) {
        RequestNumbers(kModelQueryStep);
    }
    return modelNumber;
}

// A numbers packet stored before this opening's first request (a late answer to an earlier
// one) does not count.
bool Tablet::NumbersAnswered() const {
    return numbersRequested && numbersArrival.Count() > numbersBeforeRequest;
}

// Sends the request byte and waits up to answerWait for the answer; true when it came. Nothing
// is sent to a pad that cannot answer: a pad server that never reads what it is sent would close
// its connection with those bytes unread, which TCP turns into a reset that throws away every
// point still queued at the server.
bool Tablet::RequestNumbers(std::chrono::milliseconds answerWait) {
    if (!numbersRequested) {
        numbersBeforeRequest = numbersArrival.Count();
        numbersRequested = true;
    }
    if (!PadCanAnswerRequests()) {
        return false;
    }
    WriteTablet(&kNumberRequest, 1);
    return numbersArrival.WaitBeyond(numbersBeforeRequest, answerWait);
}

// The request reaches a pad whose bytes come back through the decoder: not so over the legacy
// USB pipe (nothing is written to it) nor the TCP client (its peer sends finished points only).
bool Tablet::PadCanAnswerRequests() const {
    switch (GetTransportKind()) {
        case kSerialTransport:
        case kSerialTransport3:
        case kHidTransport:
        case kTcpListenerTransport:
            return true;
        default:
            return false;
    }
}

bool Tablet::GetNextPoint(PointRecord& record, uint32_t timeoutMs) {
    if (pointQueue->GetPointCount() > 0 ||
        (timeoutMs > 0 && pointQueue->WaitForEntries(timeoutMs))) {
        return pointQueue->PopPoint(record);
    }
    return false;
}

void Tablet::WakeNextPointWait() {
    pointQueue->WakeConsumer();
}

bool Tablet::WriteTablet(const uint8_t* data, int32_t length) {
    switch (GetTransportKind()) {
        case kSerialTransport:
        case kSerialTransport3:
            serialTransport->TabletWrite(data, length);
            break;
        case kHidTransport:
            hidTransport->TabletWrite(data, length);
            break;
        case kTcpClientTransport:
            socketTransport->TabletWrite(data, length);
            break;
        case kTcpListenerTransport:
            newSocketTransport->TabletWrite(data, length);
            break;
        default:
            break;
    }
    return true;
}

bool Tablet::CanWriteToPad() const {
    switch (GetTransportKind()) {
        case kUsbPipeTransport:
        case kNoTransport1:
        case kNoTransport4:
            return false;
        case kHidTransport:
            return hidTransport->CanWrite();
        default:
            return true;
    }
}

void Tablet::FeedReport(const uint8_t* bytes, int32_t length) {
    inputRing->PutBytes(bytes, length);
}

void Tablet::ReleaseWaitingProducers() {
    // Transports destroyed after the ring and the queues stop readers that are no longer there.
    if (inputRing != nullptr) {
        inputRing->ReleaseWriter();
    }
    if (pointQueue != nullptr) {
        pointQueue->ReleaseProducer();
    }
}
