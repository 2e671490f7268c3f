#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "processing/CircularBuffer.h"
#include "processing/PointQueue.h"
#include "tablet/ComponentInterfaces.h"
#include "tablet/NumbersArrival.h"
#include "tablet/TabletSettings.h"

// Transport kinds, the low four bits of TabletType (8 to 15 count as serial).
enum TransportKind : int {
    kSerialTransport = 0,
    kNoTransport1 = 1,
    kUsbPipeTransport = 2,
    kSerialTransport3 = 3,
    kNoTransport4 = 4,
    kTcpClientTransport = 5,
    kHidTransport = 6,
    kTcpListenerTransport = 7,
};

// The one object through which the host reaches a signature pad. It owns one instance of every
// transport, the byte ring, the input-processing controller and the point queues, and routes
// each operation to the transport that the settings select. Its fields are read directly by the
// components it owns.
class Tablet {
public:
    Tablet();
    ~Tablet();
    Tablet(const Tablet&) = delete;
    Tablet& operator=(const Tablet&) = delete;

    TabletSettings settings;
    std::atomic<bool> isOpen{false};
    std::unique_ptr<CircularBuffer> inputRing;
    std::unique_ptr<PointQueue> pointQueue;   // decoded pen points, read by GetNextPoint
    std::unique_ptr<PointQueue> answerQueue;  // answers to status commands
    std::unique_ptr<PointQueue> spareQueue;
    std::unique_ptr<PointQueue> byteQueue;  // lone bytes of the input loop
    std::unique_ptr<SerialIoIF> serialTransport;
    std::unique_ptr<HidIoIF> hidTransport;
    std::unique_ptr<UsbIoIF> usbTransport;
    std::unique_ptr<SocketIoIF> socketTransport;
    std::unique_ptr<NewSocketIoIF> newSocketTransport;
    std::unique_ptr<ProcessSerialData> inputProcessor;
    std::atomic<int32_t> serialNumber{0};
    std::atomic<int32_t> modelNumber{0};
    std::atomic<int32_t> auxValue{0};
    std::atomic<int32_t> packetState{0};  // 0 idle, 1 one sync byte held, 2 collecting
    std::atomic<bool> stopInput{false};
    std::atomic<bool> serialResetState{false};
    std::atomic<bool> inputRunning{false};
    // The pad has gone (pulled out, line hung up, peer gone): set by the reader that found it,
    // then announced once every point received before it is in the point queue.
    std::atomic<bool> readerFoundPadGone{false};
    std::atomic<bool> padGoneAnnounced{false};
    NumbersArrival numbersArrival;  // noted by the decoder each time it stores the numbers

    // Transport dispatch and pad operations (Tablet.cpp).
    int GetTransportKind() const;
    bool OpenTablet();
    bool CloseTablet();
    bool CheckTabletConnected();
    // The number queries: each sends the request byte and waits for the pad's answer, at most
    // the query's fixed time. Once a numbers packet has been stored after this opening's first
    // request went out, they send nothing more and return at once.
    int32_t GetSerialNumber();
    int32_t GetModelNumber();
    // Takes the oldest queued point, waiting for one to arrive for at most timeoutMs
    // (kWaitForever: until one arrives or WakeNextPointWait is called). False when none came.
    bool GetNextPoint(PointRecord& record, uint32_t timeoutMs);
    // Ends a GetNextPoint that waits on another thread, or the next one, without a point.
    void WakeNextPointWait();
    bool WriteTablet(const uint8_t* data, int32_t length);
    // Whether WriteTablet reaches the open pad, and so the numbers query can be answered: the
    // legacy USB pipe has no write path, and a HID pad's output reports may carry no byte.
    bool CanWriteToPad() const;
    // Called by the transports' reader threads with each block of received bytes.
    void FeedReport(const uint8_t* bytes, int32_t length);
    // Ends the waits for room in the byte ring and the point queue until the next open, so that
    // a reader or the input loop being stopped ends at once; called by every stop of a running
    // one of those threads.
    void ReleaseWaitingProducers();

    // The pad's presence (tablet/PadPresence.cpp).
    // Called by a transport's reader, after its last bytes, when it finds the pad gone.
    void ReportPadGone();
    // Whether the pad has gone and every point it sent is queued; a waiting GetNextPoint is
    // woken when this becomes true.
    bool PadGone() const { return padGoneAnnounced; }
    // Marks the pad gone and wakes the point wait; called where the last points are queued.
    void AnnouncePadGone();
    // Whether the transport's bytes are framed by the input loop (not decoded by the reader).
    bool DecodesOnInputLoop() const;

    // Settings (TabletSettings.cpp).
    void GetTabletSettings(TabletSettings& out) const;
    void SetTabletSettings(const TabletSettings& in);
    void InitSettings();
    void SetDefaultSettings();
    void LoadSettings();

    // The packet decoder (processing/PacketDecoder.cpp).
    void DecodePacket(const uint8_t (&packet)[5]);
    // As DecodePacket, with the clock read by the caller: the points of one delivery of bytes
    // share one reading.
    void DecodePacketAt(const uint8_t (&packet)[5], uint32_t now);
    void ConvertTabletPoint(int32_t& x, int32_t& y) const;
    void UnpackNonPenPacket(uint8_t firstByte, int32_t x, int32_t y);
    void ProcessNonPenData(int kind, const uint8_t* dataBytes);
    static bool IsSyncByte(uint8_t byte) { return (byte & 0x80) != 0; }
    static int32_t DecodeCoordinate(uint8_t low, uint8_t high);
    static int32_t DecodeAuxValue(uint8_t low, uint8_t high);
    static bool IsBadPacket(const uint8_t (&packet)[5]);
    static uint32_t PackPoint(uint8_t status, int32_t x, int32_t y);
    static void SetTouchBit(uint8_t& status) { status |= 0x01; }
    static void SetSwitchBit(uint8_t& status) { status |= 0x40; }
    static uint32_t MakeByteItem(uint8_t byte);

    // The input-processing loop (processing/InputLoop.cpp), run on the controller's thread.
    void ProcessSerialInput(ProcessSerialData& controller);

private:
    bool NumbersAnswered() const;
    bool RequestNumbers(std::chrono::milliseconds answerWait);
    bool PadCanAnswerRequests() const;

    // Main thread only: whether this opening has sent a number request, and how many numbers
    // packets had been stored before it did.
    bool numbersRequested = false;
    uint64_t numbersBeforeRequest = 0;
};
