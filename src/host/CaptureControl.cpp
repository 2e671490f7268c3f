#include "host/CaptureControl.h"

// The capture pipeline is not built yet: OPEN has no effect of its own.
void StartCaptureLumarq() {}

void StopCapture() {}

bool CaptureIsRunning() {
    return false;
}
