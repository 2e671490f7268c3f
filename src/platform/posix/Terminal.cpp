#include "platform/Terminal.h"

#include <unistd.h>

namespace platform {

bool StandardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

}  // namespace platform
