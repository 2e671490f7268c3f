#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace winepad {

using Bytes = std::vector<uint8_t>;

// The built-in pad's report descriptor: one vendor-defined collection with a 64-byte input
// report and a 64-byte output report, no report ids (65 bytes each as Windows counts them).
const Bytes& DefaultPadDescriptor();

// The pad's byte stream packed into input reports as the device sends them (no report id):
// each report is a count byte, up to length - 1 bytes of the stream, and zeros to length.
std::vector<Bytes> PackIntoReports(const Bytes& stream, size_t length);

// The payload of a report the host sent (the count byte's bytes after it), given as the class
// driver delivered it: with the report id byte first when `withId`. Nothing when the count
// runs past the report.
std::optional<Bytes> SentPayload(const Bytes& report, bool withId);

}  // namespace winepad
