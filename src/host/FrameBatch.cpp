#include "host/FrameBatch.h"

#include <cstdint>
#include <cstring>

void FrameBatch::Append(std::string_view text) {
    const auto n = static_cast<uint32_t>(text.size());
    for (int position = 0; position < 4; ++position) {
        bytes[used++] = static_cast<char>((n >> (8 * position)) & 0xFF);
    }
    std::memcpy(bytes.data() + used, text.data(), text.size());
    used += text.size();
}
