#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "padsim/HostFrameReader.h"
#include "padsim/OutputBuffer.h"
#include "padsim/PadGeometry.h"
#include "padsim/Playback.h"

namespace padsim {

// How the host's bytes arrive on a connection.
enum class Inbound {
    kFrames,    // LE32 type, LE32 length, payload (the TCP transports)
    kRawBytes,  // every byte is a request (a serial line)
    kNone,      // the host never writes (the USB pipe)
};

// What the pad sends for each point.
enum class Outbound {
    kStreamPackets,   // the pad's 5-byte packets
    kPointRecords,    // the pad server's 12-byte records with finished points
    kUsbPipePackets,  // the legacy driver's 4-byte packets
};

struct SessionConfig {
    Inbound inbound = Inbound::kRawBytes;
    Outbound outbound = Outbound::kStreamPackets;
    bool answersRequests = true;
    uint64_t startAfter = 1;                  // request bytes to see before the points start
    std::chrono::milliseconds startDelay{0};  // from the start condition to the first point
    uint32_t serialNumber = 123456;
    uint32_t modelNumber = 5;
    // Point records carry logical coordinates: map the pad window onto the logical size first.
    bool mapToLogical = false;
    PadWindow window;
    LogicalSize logicalSize;
};

using Logger = std::function<void(const std::string&)>;

// The pad's side of one connection: reads the host's requests, answers them, and once enough
// requests have been seen, plays the points at their times into the output buffer.
class Session {
public:
    static constexpr size_t kOutputHighWater = 65536;

    Session(const SessionConfig& config, Playback& playback, Logger log);

    // Bytes from the host. False when they break the framing, which ends the connection.
    bool OnReceived(const uint8_t* data, size_t length);
    // Starts the points now, whatever the requests so far.
    void StartStreaming() { startWanted_ = true; }
    // Moves every point due at `now` into the output (up to the high-water mark).
    void Pump(Clock::time_point now);
    // To be called whenever the output has been written out completely.
    void OnOutputDrained();

    OutputBuffer& output() { return output_; }
    const OutputBuffer& output() const { return output_; }
    // The size of one packet: a channel that must write packets one by one uses it.
    size_t packetSize() const;
    bool streaming() const { return streaming_; }
    // When Pump has something to do next; nothing while waiting for requests or when done.
    std::optional<Clock::time_point> NextDeadline() const;
    // Every point of a single pass has been written out.
    bool allSent() const { return streaming_ && playback_.finished() && output_.empty(); }
    // Points written out so far (an estimate while bytes wait in the output).
    uint64_t pointsSent() const;
    uint64_t requestsSeen() const { return requestsSeen_; }

private:
    void OnFrame(const HostFrame& frame);
    void OnRequestByte(uint8_t byte);
    void AppendPoint(const PadPoint& point);

    SessionConfig config_;
    Playback& playback_;
    Logger log_;
    HostFrameReader frameReader_;
    OutputBuffer output_;
    uint64_t requestsSeen_ = 0;
    bool startWanted_ = false;
    bool streaming_ = false;
    uint64_t passesReported_ = 0;
};

}  // namespace padsim
