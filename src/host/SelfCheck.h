#pragma once

// --check, for a person setting up a pad: prints the settings file the host reads, every
// effective setting and where it came from, the transport and device it opens; then opens the
// pad as OPEN does, asks for its numbers, prints them and the logical size (or why it failed),
// and closes it. Returns the exit code: 0 when the pad answered, 1 otherwise.
int RunSelfCheck();
