#include "padsim/Session.h"

#include <cstdio>

#include "padsim/PacketEncoder.h"

namespace padsim {
namespace {

constexpr uint32_t kDataFrameType = 1;
constexpr uint8_t kNumbersRequest = 0x00;

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}

std::string HexBytes(const Bytes& bytes, size_t shown) {
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < shown; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += Hex(bytes[i]);
    }
    return bytes.size() > shown ? text + " ..." : text;
}

}  // namespace

Session::Session(const SessionConfig& config, Playback& playback, Logger log)
    : config_(config), playback_(playback), log_(std::move(log)) {
    startWanted_ = config_.inbound != Inbound::kNone && config_.startAfter == 0;
}

bool Session::OnReceived(const uint8_t* data, size_t length) {
    if (config_.inbound == Inbound::kRawBytes) {
        for (size_t i = 0; i < length; ++i) {
            OnRequestByte(data[i]);
        }
        return true;
    }
    if (config_.inbound == Inbound::kNone) {
        return true;
    }
    std::vector<HostFrame> frames;
    const bool intact = frameReader_.Feed(data, length, frames);
    for (const HostFrame& frame : frames) {
        OnFrame(frame);
    }
    if (!intact) {
        log_("bad frame from the host: length " + std::to_string(frameReader_.badLength()) +
             " is above " + std::to_string(HostFrameReader::kMaxPayload));
    }
    return intact;
}

void Session::OnFrame(const HostFrame& frame) {
    const std::string size = std::to_string(frame.payload.size()) + " byte(s)";
    if (frame.type != kDataFrameType) {
        log_("frame of type " + std::to_string(frame.type) + " with " + size + " ignored");
        return;
    }
    if (!config_.answersRequests) {
        log_("frame from the host: type 1, " + size + ": " + HexBytes(frame.payload, 16));
    }
    for (uint8_t byte : frame.payload) {
        OnRequestByte(byte);
    }
}

void Session::OnRequestByte(uint8_t byte) {
    ++requestsSeen_;
    if (config_.answersRequests) {
        if (byte == kNumbersRequest) {
            output_.Append(EncodeNumbersAnswer(config_.serialNumber, config_.modelNumber));
            log_("request 0x00 answered");
        } else {
            log_("request 0x" + Hex(byte) + " ignored");
        }
    }
    if (!startWanted_ && requestsSeen_ >= config_.startAfter) {
        startWanted_ = true;
    }
}

void Session::Pump(Clock::time_point now) {
    if (startWanted_ && !streaming_) {
        streaming_ = true;
        playback_.Restart(now + config_.startDelay);
        log_("streaming " + std::to_string(playback_.pointsPerPass()) + " points");
    }
    if (!streaming_ || output_.size() >= kOutputHighWater) {
        return;
    }
    PadPoints due;
    playback_.TakeDue(now, (kOutputHighWater - output_.size()) / packetSize() + 1, due);
    for (const PadPoint& point : due) {
        AppendPoint(point);
    }
}

void Session::AppendPoint(const PadPoint& point) {
    switch (config_.outbound) {
        case Outbound::kStreamPackets:
            output_.Append(EncodePenPacket(point));
            break;
        case Outbound::kUsbPipePackets:
            output_.Append(EncodeUsbPipePacket(point));
            break;
        case Outbound::kPointRecords: {
            const PadPoint finished = config_.mapToLogical
                                          ? ToLogical(point, config_.window, config_.logicalSize)
                                          : point;
            output_.Append(EncodePointRecord(PackPenData(finished)));
            break;
        }
    }
}

void Session::OnOutputDrained() {
    if (streaming_ && playback_.passes() > passesReported_) {
        passesReported_ = playback_.passes();
        log_("sent " + std::to_string(playback_.taken()) + " points");
    }
}

size_t Session::packetSize() const {
    switch (config_.outbound) {
        case Outbound::kStreamPackets:
            return sizeof(StreamPacket);
        case Outbound::kUsbPipePackets:
            return sizeof(UsbPipePacket);
        case Outbound::kPointRecords:
            return sizeof(PointRecordBytes);
    }
    return 1;
}

std::optional<Clock::time_point> Session::NextDeadline() const {
    if (startWanted_ && !streaming_) {
        return Clock::time_point{};
    }
    if (!streaming_ || output_.size() >= kOutputHighWater) {
        return std::nullopt;
    }
    return playback_.NextDeadline();
}

uint64_t Session::pointsSent() const {
    if (!streaming_) {
        return 0;
    }
    const uint64_t waiting = output_.size() / packetSize();
    return playback_.taken() > waiting ? playback_.taken() - waiting : 0;
}

}  // namespace padsim
