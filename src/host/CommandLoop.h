#pragma once

// The process entry of the host: the single-instance checks, the process set-up, and the loop
// that serves the browser's commands until CLOSE or the end of input. Returns the exit code.
int RunHost();
