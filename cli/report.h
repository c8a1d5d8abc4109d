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

// "secanto: PATH: reason", with PATH escaped as sha256sum escapes names (a newline or a
// backslash in it cannot break the line or be mistaken); `path` is given as it is.
void ReportError(const std::string& path, const std::string& reason);

// "secanto: TEXT". Names in TEXT are escaped by the caller (sums::PrintableName).
void ReportLine(const std::string& text);

// "secanto: TEXT", then "Try 'secanto --help'."; returns kExitUsage.
int UsageError(const std::string& text);
// "secanto: PATH: reason" as ReportError, then the hint; returns kExitUsage.
int UsageError(const std::string& path, const std::string& reason);

}  // namespace cli
