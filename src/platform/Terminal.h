#pragma once

namespace platform {

// Whether the process's standard input is an interactive terminal (a console on Windows): true
// when a person started the host by hand, false when a browser did, with a pipe.
bool StandardInputIsTerminal();

}  // namespace platform
