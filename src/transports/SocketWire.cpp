#include "transports/SocketWire.h"

#include <cstring>

namespace {

constexpr int32_t kHelloTextOffset = 8;

uint32_t ReadWord(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteWord(uint32_t value, uint8_t* out) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

int32_t BuildDataFrame(const uint8_t* payload, int32_t length, uint8_t* out) {
    WriteWord(kDataFrameType, out);
    WriteWord(static_cast<uint32_t>(length), out + 4);
    if (length > 0) {
        std::memcpy(out + kFrameHeaderSize, payload, static_cast<size_t>(length));
    }
    return kFrameHeaderSize + length;
}

int32_t TakePointRecords(const uint8_t* bytes, int32_t length,
                         const std::function<void(uint32_t penData)>& onPenPoint) {
    int32_t offset = 0;
    for (; length - offset >= kPointRecordSize; offset += kPointRecordSize) {
        const uint8_t* record = bytes + offset;
        if (ReadWord(record) == kPenPointRecordType) {
            onPenPoint(ReadWord(record + 8));
        }
    }
    return offset;
}

int32_t CarryPointRecords(uint8_t* bytes, int32_t length,
                          const std::function<void(uint32_t penData)>& onPenPoint) {
    const int32_t taken = TakePointRecords(bytes, length, onPenPoint);
    std::memmove(bytes, bytes + taken, static_cast<size_t>(length - taken));
    return length - taken;
}

bool HelloMatches(const uint8_t* message, int32_t length, std::string_view identity) {
    if (length <= kHelloTextOffset) {
        return false;
    }
    const auto* text = message + kHelloTextOffset;
    const auto textRoom = static_cast<size_t>(length - kHelloTextOffset);
    const auto* terminator = static_cast<const uint8_t*>(std::memchr(text, 0, textRoom));
    if (terminator == nullptr) {
        return false;
    }
    const std::string_view presented(reinterpret_cast<const char*>(text),
                                     static_cast<size_t>(terminator - text));
    return ReadWord(message) == kHelloType && presented == identity;
}
