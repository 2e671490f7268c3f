#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Frames between the browser and the host: a 4-byte little-endian length, then that many bytes
// of text.

inline constexpr uint32_t MaxInputLength = 20;

// The next input character: 0..255, or -1 at the end of the input or on a read error.
using ByteSource = std::function<int()>;

// Reads one incoming frame. Yields its body (1 to 20 bytes), or nothing when the length field
// is 0 or above MaxInputLength, which includes the end of input inside the length. The end of
// input inside the body fills the rest of it with 0xFF bytes.
std::optional<std::string> ReadBrowserMessage(const ByteSource& next);

// Reads one frame from standard input.
std::optional<std::string> ReadBrowserMessage();

// The bytes of the frame that carries text.
std::string FrameMessage(std::string_view text);

// Writes one whole frame to standard output. Frames from different threads never interleave.
// Write failures are not reported.
void SendToBrowser(std::string text);

// The most that leaves in one write to a pipe with room.
inline constexpr size_t kOutputBufferSize = 32768;

// Writes frames that are already framed (whole, in order) to standard output, as SendToBrowser
// does for one: unbuffered, so that up to kOutputBufferSize bytes leave in one write. A write
// that would block waits, even on an output handed over in non-blocking mode.
void SendFramesToBrowser(std::string_view frames);
