#include "padsim/OutputBuffer.h"

#include <algorithm>

namespace padsim {

void OutputBuffer::Append(const uint8_t* data, size_t length) {
    bytes_.insert(bytes_.end(), data, data + length);
}

void OutputBuffer::Consume(size_t count) {
    head_ += std::min(count, size());
    if (head_ == bytes_.size()) {
        Clear();
    } else if (head_ > bytes_.size() / 2) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
}

void OutputBuffer::Clear() {
    bytes_.clear();
    head_ = 0;
}

}  // namespace padsim
