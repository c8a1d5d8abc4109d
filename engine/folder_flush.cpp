#include "engine/folder_flush.h"

#include "platform/file_system.h"

bool FlushFolders(const std::string& target, const std::vector<std::string>& grown) {
    if (!platform::FlushFolder(target)) {
        return false;
    }
    for (const std::string& folder : grown) {
        if (!platform::FlushFolder(folder)) {
            return false;
        }
    }
    return true;
}
