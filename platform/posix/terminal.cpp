// A terminal is what isatty says.
#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool ErrorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace platform
