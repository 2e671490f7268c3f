#include "padsim/HelpText.h"

namespace padsim {

const char* const kHelpDescription =
    R"(Plays a signature pad on the far side of one of the host's transports: answers the host's
request for the serial and model numbers as a pad does and sends pen points at a pad's pace.

Modes:
  bridge    The bridge of the TCP listening transport. Connects to --host:--port (default
            127.0.0.1:47290), sends the hello (LE32 type 2, four unread bytes, the identity
            text with its NUL) in one send, then streams the pad's 5-byte packets. When the
            host drops the connection it connects again, retrying every 50 ms.
  server    The pad server of the TCP client transport. Listens on --host:--port (default
            127.0.0.1:47289), accepts the host again and again and streams 12-byte point
            records (LE32 type 0, LE32 unused, LE32 penData). Points are mapped from the pad
            window onto the logical size first, as a pad server does (see --window,
            --logical-size); frames from the host are read and logged, never answered.
  serial    Creates a pseudo-terminal in raw mode (or drives --tty PATH) and streams 5-byte
            packets on it. The first line on standard output is the path the host opens, e.g.
              /dev/pts/5
            and the second gives the settings file's prefix and number for it:
              prefix=/dev/pts/ number=5
            (TabletPortPath=/dev/pts/ and TabletComPort=5 in Inkora.ini).
  usbpipe   Creates a FIFO at --node (default $INKORA_ROOT/dev/inkora-usbpipe0, or
            /dev/inkora-usbpipe0 without INKORA_ROOT) and writes the legacy driver's 4-byte
            packets, one write() per packet. It keeps writing to a reader that reopens the
            node and removes the node at the end.

Requests: in bridge and serial mode every byte 0x00 the host sends (in bridge mode inside
frames of LE32 type 1, LE32 length, payload) is answered with the pad's kind-2 packet that
carries the serial and model numbers. Server mode has no such record and answers nothing;
the USB pipe carries nothing from the host.)";

const char* const kHelpFooter =
    R"(A session restarts the points from the first one: each connection (each opening of the
serial line, each reader of the FIFO) that reaches its start gets the whole signature. With
--once the run ends normally when the host closes a connection that received every point.

Strokes file: one point per line, "x y touch": three integers separated by blanks, touch 1
while the pen is down and 0 while it is lifted (a lift point ends a stroke; further touch-0
points are the pen hovering). '#' starts a comment up to the end of the line; blank lines are
ignored. X grows to the right and Y downwards. The drawing's bounding box is scaled (keeping
its proportions) and centred to fill 90% of the pad window, unless --raw-coordinates is given.
Example:
  # a short tick
  100 200 1
  110 215 1
  140 170 1
  145 165 0

Burst pattern (--burst N): N touching points and then one lift point at the last point's
place. With W = X1 - X0 and R = (Y1 - Y0) / 5, point i (0-based) is at
  x = X0 + i mod W,  y = Y0 + 5 * (floor(i / W) mod R)
With the host's default settings it arrives as logical X = i mod 2150, Y = 4 * floor(i / 2150),
all distinct for i < 752500, so a receiver can check order and completeness.

Events are logged one per line on standard error ("padsim: connected to 127.0.0.1:47290",
"padsim: request 0x00 answered", "padsim: sent 1200 points", ...). SIGINT and SIGTERM end the
run cleanly.

Exit codes: 0 normal end (all points played once and the host closed, stopped by a signal,
or the time limit after a host was served); 1 no host came within the time limit, or a port,
pseudo-terminal or FIFO could not be set up; 2 bad options or strokes file.)";

}  // namespace padsim
