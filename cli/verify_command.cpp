// secanto verify DIR: every piece of every file that DIR's SHA256SUMS lists, hashed and
// compared without joining. Like `sha256sum -c --quiet`, it prints only what is wrong, one
// line per name on standard output: "NAME: FAILED" (the bytes differ, or the list's lines
// for it disagree), "NAME: MISSING" (listed, not there), "NAME: NOT LISTED" (a piece there
// that the list lacks) and "NAME: FAILED open or read" (with the system's reason on
// standard error). A list line no one can read is named on standard error and fails too.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "platform/folder_listing.h"
#include "platform/interrupt.h"
#include "platform/system_error.h"
#include "sums/checksum_line.h"
#include "sums/sums_file.h"
#include "sums/verify_audit.h"

namespace cli {

int VerifyCommand(const Arguments& arguments) {
    std::string folder;
    if (!PiecesFolder(arguments.operand, &folder)) {
        return kExitSource;
    }
    const std::string sumsPath = InFolder(folder, sums::kSumsName);
    sums::ChecksumList list;
    std::string reason;
    switch (list.Read(sumsPath, &reason)) {
        case sums::ChecksumList::ReadResult::kRead:
            break;
        case sums::ChecksumList::ReadResult::kMissing:
            ReportError(sumsPath, reason);
            return kExitSource;
        case sums::ChecksumList::ReadResult::kFailed:
            ReportError(sumsPath, reason);
            return kExitVerify;
    }
    std::vector<std::string> names;
    platform::FolderListing listing;
    if (!listing.Start(InFolder(folder, ""))) {
        ReportError(folder, platform::LastSystemError());
        return kExitSource;
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (!entry.isFolder) {
            names.push_back(entry.name);
        }
    }
    if (listing.Failed()) {
        ReportError(folder, platform::LastSystemError());
        return kExitSource;
    }
    listing.Close();
    sums::VerifyAudit audit(folder, list, names);
    if (audit.Empty() && list.MalformedLines().empty()) {
        ReportError(sumsPath, "lists no pieces (1__NAME, 2__NAME, ...)");
        return kExitSource;
    }

    ProgressLine progress(stderr, ShowProgress(arguments));
    progress.Start(audit.TotalBytes(), audit.TotalPieces());
    const auto found = [&](const sums::Finding& finding) {
        progress.Clear();
        using Kind = sums::Finding::Kind;
        if (finding.kind == Kind::kMalformed || finding.kind == Kind::kUnreadable) {
            ReportFinding(folder, finding);
        }
        if (finding.kind != Kind::kMalformed) {
            const std::string line =
                sums::PrintableName(finding.name) + ": " + sums::StatusWords(finding.kind) + "\n";
            std::fputs(line.c_str(), stdout);
            std::fflush(stdout);
        }
    };
    const auto keepGoing = [&](std::uint64_t bytes, std::uint64_t pieces) {
        progress.Update(bytes, pieces);
        return !platform::Interrupted();
    };
    if (!audit.Run(found, keepGoing, &reason)) {
        progress.Clear();
        if (platform::Interrupted()) {
            ReportError(folder, "interrupted");
            return kExitInterrupted;
        }
        ReportError(folder, "cannot start hashing: " + reason);
        return kExitSource;
    }
    progress.Clear();
    if (audit.Failures() > 0) {
        if (!arguments.quiet) {
            const int failures = audit.Failures();
            ReportError(folder, "verification failed (" + std::to_string(failures) +
                                    (failures == 1 ? " problem)" : " problems)"));
        }
        return kExitVerify;
    }
    progress.Finish("verified " + std::to_string(audit.Checked()) + " pieces in " +
                    sums::PrintableName(folder) + " against SHA256SUMS: all good");
    return kExitOk;
}

}  // namespace cli
