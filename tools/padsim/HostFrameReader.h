#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "padsim/PacketEncoder.h"

namespace padsim {

// One frame from the host to the pad: LE32 type (1 for data), LE32 payload length, payload.
struct HostFrame {
    uint32_t type = 0;
    Bytes payload;
};

// Reassembles host frames from a byte stream that may be cut anywhere. A length above the
// host's largest write makes the stream unusable: the reader stops and reports it.
class HostFrameReader {
public:
    static constexpr uint32_t kMaxPayload = 32768;

    // Takes the next received bytes and appends every frame they complete to `frames`. Returns
    // false once the stream is broken; later calls change nothing.
    bool Feed(const uint8_t* data, size_t length, std::vector<HostFrame>& frames);

    bool broken() const { return broken_; }
    uint32_t badLength() const { return badLength_; }
    // Bytes of an unfinished frame held back.
    size_t pendingBytes() const { return pending_.size(); }

private:
    bool TakeFrame(std::vector<HostFrame>& frames);

    Bytes pending_;
    bool broken_ = false;
    uint32_t badLength_ = 0;
};

}  // namespace padsim
