#include "nmclient/HelpText.h"

namespace nmclient {

const char* const kHelpDescription =
    R"(Stands in for the browser: starts the host as a child process with pipes (the child inherits
the environment, so INKORA_ROOT passes through), sends {"command":"OPEN"} framed as the
browser frames it (4-byte little-endian length, then the text), and prints every frame the
host sends as one JSON line on standard output (a frame that is not JSON is printed as a JSON
string). Then it sends {"command":"CLOSE"} and checks that the goodbye {"text":"EXITING..."}
arrives as the last frame, that the host's output ends and that the host exits with code 0.

CLOSE is sent after --duration seconds, after --points POINT messages, on SIGINT (Ctrl-C), at
--timeout, or at once when the host's output ends first, whichever comes first.)";

const char* const kHelpFooter =
    R"(Frames may arrive split across reads; a length above 1 MiB is a protocol error.

Exit codes (the first problem found, in this order of precedence):
  0  the session went as the protocol says: an OPEN reply came (any status), every frame was
     well-formed, the goodbye was the last frame and the host exited with code 0
  3  the host could not be started
  5  a bad frame: a length above 1 MiB, a frame cut off at the end of the output, a text that
     is not JSON, an OPEN reply or POINT without its integer fields (P must be 0 or 1), or a
     POINT before the OPEN reply
  4  no OPEN reply
  6  no goodbye frame, or frames after it
  7  the host's exit code was not 0, it was killed by a signal, or it did not end
  8  the OPEN reply's status differs from --expect-status
  9  fewer POINT messages than --points arrived before --timeout (or the host's end)
  1  the session was fine but the SVG file could not be written
  2  bad command line)";

}  // namespace nmclient
