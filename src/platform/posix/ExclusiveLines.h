#pragma once

namespace platform {

// The serial lines this process holds marked for exclusive use (TIOCEXCL). The mark belongs to
// the line, not to the descriptor: a process that ends with the line still open leaves it
// behind wherever the line outlives the process (a pseudo-terminal whose pad side stays open),
// and every later open by an ordinary user fails. Ending the process without closing its ports
// therefore takes the marks off first.
void NoteExclusiveLine(int fd);
// Called before the line's descriptor is closed.
void ForgetExclusiveLine(int fd);
void ReleaseExclusiveLines();

}  // namespace platform
