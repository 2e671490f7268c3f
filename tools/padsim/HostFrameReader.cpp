#include "padsim/HostFrameReader.h"

namespace padsim {
namespace {

constexpr size_t kHeaderSize = 8;

}  // namespace

bool HostFrameReader::Feed(const uint8_t* data, size_t length, std::vector<HostFrame>& frames) {
    if (broken_) {
        return false;
    }
    pending_.insert(pending_.end(), data, data + length);
    while (TakeFrame(frames)) {
    }
    return !broken_;
}

bool HostFrameReader::TakeFrame(std::vector<HostFrame>& frames) {
    if (pending_.size() < kHeaderSize) {
        return false;
    }
    const uint32_t payloadLength = ReadLe32(pending_.data() + 4);
    if (payloadLength > kMaxPayload) {
        broken_ = true;
        badLength_ = payloadLength;
        pending_.clear();
        return false;
    }
    const size_t frameSize = kHeaderSize + payloadLength;
    if (pending_.size() < frameSize) {
        return false;
    }
    HostFrame frame;
    frame.type = ReadLe32(pending_.data());
    frame.payload.assign(pending_.begin() + kHeaderSize, pending_.begin() + frameSize);
    frames.push_back(std::move(frame));
    pending_.erase(pending_.begin(), pending_.begin() + frameSize);
    return true;
}

}  // namespace padsim
