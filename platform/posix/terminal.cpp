// A terminal is what isatty says; its text is the locale's, as the program's is.
#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

const bool kSlashQuestionAsksHelp = false;

bool ErrorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool WriteText(std::FILE* stream, const std::string& text) {
    return std::fputs(text.c_str(), stream) >= 0;
}

}  // namespace platform
