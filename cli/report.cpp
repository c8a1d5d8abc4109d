// Messages on standard error. Each goes out in one write, so that lines of two programs
// sharing a terminal or a log do not mix.
#include "cli/report.h"

#include <cstdio>

#include "sums/checksum_line.h"

namespace cli {

namespace {

const char kHint[] = "Try 'secanto --help'.\n";

}  // namespace

void ReportLine(const std::string& text) {
    const std::string line = "secanto: " + text + "\n";
    std::fputs(line.c_str(), stderr);
}

void ReportError(const std::string& path, const std::string& reason) {
    ReportLine(sums::PrintableName(path) + ": " + reason);
}

int UsageError(const std::string& text) {
    ReportLine(text);
    std::fputs(kHint, stderr);
    return kExitUsage;
}

int UsageError(const std::string& path, const std::string& reason) {
    ReportError(path, reason);
    std::fputs(kHint, stderr);
    return kExitUsage;
}

}  // namespace cli
