#pragma once

// The pad work behind OPEN and CLOSE.

#include <cstdint>

// How the browser asked for the capture: the plain OPEN, or OPEN2 for the richer capture (the
// OPEN reply with the pad's numbers and the protocol, POINT messages with their time, GONE).
enum class OpenRequest { Plain, Rich };

// The protocol number the OPEN reply of the richer capture carries.
inline constexpr int kRichCaptureProtocol = 2;

// OPEN: finds, opens and queries the pad, answers the browser and starts the point pump.
// Returns to the command loop, or ends the process with exit code 0.
void StartCaptureLumarq(OpenRequest request = OpenRequest::Plain);

// Stops the point pump, closes the pad and destroys its Tablet. Does nothing when no capture
// runs.
void StopCapture();

class Tablet;

// Opens the pad, and once more after 500 ms when the first try fails. True when it is open.
bool OpenWithOneRetry(Tablet& tablet);

// Whether a capture (a Tablet and its point pump) is running.
bool CaptureIsRunning();
