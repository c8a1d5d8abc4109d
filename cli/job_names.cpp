#include "cli/job_names.h"

#include "cli/commands.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "recovery/recovery_paths.h"

namespace cli {

void AddWithTemporary(const std::string& name, std::vector<std::string>* names) {
    names->push_back(name);
    names->push_back(recovery::TemporaryPath(name));
}

bool NamesFit(const std::string& folder,
              const std::vector<std::string>& names,
              const std::string& role) {
    for (const std::string& name : names) {
        if (!platform::NameFits(folder, name)) {
            ReportError(InFolder(folder, name), "file name too long for " + role + " (" +
                                                    platform::LastSystemError() +
                                                    "); nothing was made");
            return false;
        }
    }
    return true;
}

}  // namespace cli
