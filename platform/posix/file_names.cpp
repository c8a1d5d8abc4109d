// Names on POSIX file systems are byte strings, compared exactly.
#include "platform/file_names.h"

namespace platform {

bool SameFileName(const std::string& a, const std::string& b) {
    return a == b;
}

}  // namespace platform
