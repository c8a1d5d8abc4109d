// What secanto says on standard error, and the exit statuses scripts test.
#pragma once

#include <string>

namespace cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitUsage = 1,   // bad usage or argument; nothing was made
    kExitSource = 2,  // a source missing, unreadable or incomplete
    kExitTarget = 3,  // a target could not be written
    kExitVerify = 4,  // bytes differ from their SHA256SUMS line
    kExitInterrupted = 130,
};

// "secanto: PATH: reason".
void ReportError(const std::string& path, const std::string& reason);

// "secanto: TEXT".
void ReportLine(const std::string& text);

// "secanto: TEXT", then "Try 'secanto --help'."; returns kExitUsage.
int UsageError(const std::string& text);

}  // namespace cli
