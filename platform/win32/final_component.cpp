#include "platform/win32/final_component.h"

#include "platform/code_page.h"

namespace platform {

std::string FinalComponent(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path.c_str() + i)) {
        const char c = path[i];
        if (c == '\\' || c == '/' || c == ':') {
            start = i + 1;
        }
    }
    return path.substr(start);
}

}  // namespace platform
