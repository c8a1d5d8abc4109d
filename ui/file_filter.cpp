// Conversion of a '|'-separated filter into the system's zero-separated form.
#include "ui/file_filter.h"

#include "platform/code_page.h"

std::string SystemFilter(const std::string& barFilter) {
    std::string filter = barFilter;
    const char* text = barFilter.c_str();
    for (std::size_t i = 0; i < barFilter.size(); i += platform::CharLength(text + i)) {
        if (filter[i] == '|') {
            filter[i] = '\0';
        }
    }
    return filter;
}
