#include "platform/path_text.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace platform {

std::size_t LastSeparator(const std::string& path) {
    const char* text = path.c_str();
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); i += CharLength(text + i)) {
        if (path[i] == kPathSeparator || path[i] == '/') {
            last = i;
        }
    }
    return last;
}

}  // namespace platform
