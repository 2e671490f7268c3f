#include "nmclient/BrowserFrames.h"

namespace nmclient {
namespace {

constexpr size_t kHeaderSize = 4;

uint32_t ReadLength(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < kHeaderSize; ++i) {
        value |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    }
    return value;
}

}  // namespace

std::string EncodeFrame(std::string_view text) {
    std::string frame;
    const auto length = static_cast<uint32_t>(text.size());
    for (size_t i = 0; i < kHeaderSize; ++i) {
        frame.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    }
    frame.append(text);
    return frame;
}

bool FrameReader::Feed(const uint8_t* data, size_t length, std::vector<std::string>& frames) {
    if (broken_) {
        return false;
    }
    pending_.append(reinterpret_cast<const char*>(data), length);
    size_t at = 0;
    while (pending_.size() - at >= kHeaderSize) {
        const uint32_t textLength = ReadLength(pending_, at);
        if (textLength > kMaxFrameLength) {
            broken_ = true;
            badLength_ = textLength;
            break;
        }
        if (pending_.size() - at - kHeaderSize < textLength) {
            break;
        }
        frames.push_back(pending_.substr(at + kHeaderSize, textLength));
        at += kHeaderSize + textLength;
    }
    pending_.erase(0, at);
    return !broken_;
}

}  // namespace nmclient
