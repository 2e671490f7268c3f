#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace padsim {

// Bytes waiting to be written, consumed from the front as the channel takes them.
class OutputBuffer {
public:
    void Append(const uint8_t* data, size_t length);
    template <typename Packet>
    void Append(const Packet& packet) {
        Append(packet.data(), packet.size());
    }
    const uint8_t* data() const { return bytes_.data() + head_; }
    size_t size() const { return bytes_.size() - head_; }
    bool empty() const { return size() == 0; }
    void Consume(size_t count);
    void Clear();

private:
    std::vector<uint8_t> bytes_;
    size_t head_ = 0;
};

}  // namespace padsim
