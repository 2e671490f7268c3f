#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// The byte layouts the two TCP transports speak. All integers are 32-bit little-endian.
// Every function here is pure: it looks only at the bytes it is given.

inline constexpr int32_t kMaxWritePayload = 32768;  // the largest block one write carries
inline constexpr int32_t kFrameHeaderSize = 8;      // frame type, payload length
inline constexpr int32_t kMaxFrameSize = kFrameHeaderSize + kMaxWritePayload;
inline constexpr int32_t kReceiveLimit = 32772;  // the most one receive takes
inline constexpr int32_t kPointRecordSize = 12;  // record type, unused word, penData
inline constexpr uint32_t kDataFrameType = 1;
inline constexpr uint32_t kHelloType = 2;
inline constexpr uint32_t kPenPointRecordType = 0;

// Writes the frame that carries a payload to the peer (type 1, length, payload) into out, which
// holds at least kFrameHeaderSize + length bytes; returns the frame's size.
int32_t BuildDataFrame(const uint8_t* payload, int32_t length, uint8_t* out);

// Walks the whole 12-byte point records at the start of the bytes, calling onPenPoint with the
// penData of each record of type 0 (other types are skipped), and returns how many bytes the
// whole records took. The rest, shorter than a record, is the start of a record still coming.
int32_t TakePointRecords(const uint8_t* bytes, int32_t length,
                         const std::function<void(uint32_t penData)>& onPenPoint);

// The buffer a receiver walks records in: the start of a cut record, then one receive.
inline constexpr int32_t kRecordCarryCapacity = kPointRecordSize - 1 + kReceiveLimit;

// Walks the whole records of the bytes held (as TakePointRecords does) and moves the start of a
// cut record that remains to the front, where the next receive continues it. Returns how many
// bytes remain held, always fewer than a record.
int32_t CarryPointRecords(uint8_t* bytes, int32_t length,
                          const std::function<void(uint32_t penData)>& onPenPoint);

// Whether a received first message is a hello of type 2 whose NUL-terminated text at offset 8
// equals identity exactly. A message too short to hold both words and a terminated text does
// not match.
bool HelloMatches(const uint8_t* message, int32_t length, std::string_view identity);
