#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nmclient {

// Frames between the browser and the host: a 4-byte little-endian length, then the text.
std::string EncodeFrame(std::string_view text);

// Reassembles the host's frames from its output, which may be cut anywhere. A length above
// kMaxFrameLength is a protocol error that ends the reading.
class FrameReader {
public:
    static constexpr uint32_t kMaxFrameLength = 1024 * 1024;

    // Appends every frame the bytes complete to `frames`. False once the stream is broken.
    bool Feed(const uint8_t* data, size_t length, std::vector<std::string>& frames);
    // At the end of the output: false when a frame was cut short (or the stream was broken).
    bool Finish() const { return !broken_ && pending_.empty(); }

    bool broken() const { return broken_; }
    uint32_t badLength() const { return badLength_; }
    size_t pendingBytes() const { return pending_.size(); }

private:
    std::string pending_;
    bool broken_ = false;
    uint32_t badLength_ = 0;
};

}  // namespace nmclient
