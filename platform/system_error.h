// The reason the system gave for the last failed call, for messages that name the file and
// the cause in one line: "secanto: PATH: reason".
#pragma once

#include <string>

namespace platform {

// The last error of this thread as one line of text in the narrow code page, without a
// final period. Read it right after the failed call: later calls may change it.
std::string LastSystemError();

// True when the last failed call found no file, or no folder on the way to it.
bool LastErrorIsNotFound();

// True when the last failed call would have made a file that exists already.
bool LastErrorIsAlreadyThere();

// Why the program itself refused a file the system would have opened: what it reads and
// writes in a folder of pieces, which anyone may have filled, must be files of its own kind.
enum class Refusal {
    kNotRegular,  // a FIFO, a device or a socket, which could block or never end
    kLink,        // a link, which is not followed there
    kInUse,       // another run of the program holds it
    kNotOurs,     // at a name of the program's own, something it did not leave there
};

// Makes `refusal` the last error, which LastSystemError then describes.
void SetLastRefusal(Refusal refusal);

// The words LastSystemError gives for `refusal`.
const char* RefusalWords(Refusal refusal);

}  // namespace platform
