// Narrow names here are UTF-8 already, or bytes that only mean something as they are: both
// go through unchanged, as sha256sum writes and reads them.
#include "platform/text_encoding.h"

namespace platform {

bool NarrowToUtf8(const std::string& narrow, std::string* utf8) {
    *utf8 = narrow;
    return true;
}

bool Utf8ToNarrow(const std::string& utf8, std::string* narrow) {
    *narrow = utf8;
    return true;
}

}  // namespace platform
