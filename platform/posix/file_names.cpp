// Names on POSIX file systems are byte strings, compared exactly and kept as given.
#include "platform/file_names.h"

namespace platform {

bool SameFileName(const std::string& a, const std::string& b) {
    return a == b;
}

NameTaken HowNameIsTaken(const std::string&) {
    return NameTaken::kAsGiven;
}

}  // namespace platform
