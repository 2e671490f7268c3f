// The TCP client's reader: a stream of 12-byte point records cut into receives anywhere. Every
// pen record comes out exactly once and whole, in order, and the buffer never holds more than
// the start of one record besides a receive.
#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "transports/SocketWire.h"

namespace {

constexpr size_t kMaxCuts = 16;

uint32_t Word(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The pen data of every record of type 0 that the stream holds whole.
std::vector<uint32_t> PenRecordsOf(const uint8_t* stream, size_t size) {
    std::vector<uint32_t> points;
    for (size_t at = 0; at + kPointRecordSize <= size; at += kPointRecordSize) {
        if (Word(stream + at) == kPenPointRecordType) {
            points.push_back(Word(stream + at + 8));
        }
    }
    return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    // How the stream is cut: receive sizes of 1 to kReceiveLimit bytes, taken in turn.
    std::vector<int32_t> receiveSizes(input.Byte() % kMaxCuts + 1);
    for (int32_t& receive : receiveSizes) {
        receive = input.Word() % kReceiveLimit + 1;
    }
    const std::string_view stream = input.Rest();
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());

    std::vector<uint32_t> points;
    const auto collect = [&points](uint32_t penData) { points.push_back(penData); };
    std::vector<uint8_t> buffer(kRecordCarryCapacity);  // exactly the reader's buffer
    int32_t held = 0;
    size_t delivered = 0;
    for (size_t turn = 0; delivered < stream.size(); ++turn) {
        const size_t received =
            std::min(stream.size() - delivered,
                     static_cast<size_t>(receiveSizes[turn % receiveSizes.size()]));
        std::memcpy(buffer.data() + held, bytes + delivered, received);
        delivered += received;
        held = CarryPointRecords(buffer.data(), held + static_cast<int32_t>(received), collect);
        Require(held >= 0 && held < kPointRecordSize, "less than a record is held");
    }
    Require(points == PenRecordsOf(bytes, stream.size()), "every pen record once, whole, in order");
    Require(static_cast<size_t>(held) == stream.size() % kPointRecordSize,
            "the cut record's start is held");
    Require(
        std::memcmp(buffer.data(), bytes + stream.size() - held, static_cast<size_t>(held)) == 0,
        "the held bytes are the stream's last");
    return 0;
}
