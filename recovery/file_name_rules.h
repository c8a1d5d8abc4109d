// Which file names read from a recovery file may be acted on: a bare name in the set's own
// folder, nothing that reaches elsewhere or names a device.
#pragma once

#include <string>

namespace recovery {

// True when `utf8` is a plain file name: not empty, no '/' or '\\', not "." or "..", no
// drive or stream (':'), no control character, no trailing dot or space (which Windows
// drops, so the name would open another file), and no Windows device (CON, NUL, COM1, ...,
// with or without an extension). Otherwise false with `reason` set.
bool IsPlainFileName(const std::string& utf8, std::string* reason);

}  // namespace recovery
