// secanto verify DIR: every piece of every file that DIR's SHA256SUMS lists, hashed and
// compared without joining. Like `sha256sum -c --quiet`, it prints only what is wrong, one
// line per name on standard output: "NAME: FAILED" (the bytes differ, or the list's lines
// for it disagree), "NAME: MISSING" (listed, not there), "NAME: NOT LISTED" (a piece there
// that the list lacks) and "NAME: FAILED open or read" (with the system's reason on
// standard error). A list line no one can read is named on standard error and fails too.
// The recovery data there is read when something is wrong, to say whether it can rebuild
// it, and speaks for the pieces in the same lines when there is no list.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/progress_line.h"
#include "cli/recovery_verify.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/folder_listing.h"
#include "platform/interrupt.h"
#include "platform/system_error.h"
#include "sums/checksum_line.h"
#include "sums/sums_file.h"
#include "sums/verify_audit.h"

namespace cli {

namespace {

// A finding as verify prints it: the line on standard output, and what the system said on
// standard error.
void PrintFinding(const std::string& folder, const sums::Finding& finding) {
    using Kind = sums::Finding::Kind;
    if (finding.kind == Kind::kMalformed || finding.kind == Kind::kUnreadable) {
        ReportFinding(folder, finding);
    }
    if (finding.kind != Kind::kMalformed) {
        const std::string line =
            sums::PrintableName(finding.name) + ": " + sums::StatusWords(finding.kind) + "\n";
        Print(stdout, line);
        std::fflush(stdout);
    }
}

}  // namespace

int VerifyCommand(const Arguments& arguments) {
    std::string folder;
    if (!PiecesFolder(arguments.operand, &folder)) {
        return kExitSource;
    }
    const std::string sumsPath = InFolder(folder, sums::kSumsName);
    sums::ChecksumList list;
    std::string reason;
    std::string noList;  // why no list speaks for the pieces
    switch (list.Read(sumsPath, &reason)) {
        case sums::ChecksumList::ReadResult::kRead:
            break;
        case sums::ChecksumList::ReadResult::kMissing:
            noList = reason;
            break;
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
    if (noList.empty() && audit.Empty() && list.MalformedLines().empty()) {
        noList = "lists no pieces (1__NAME, 2__NAME, ...)";
    }

    ProgressLine progress(stderr, ShowProgress(arguments));
    const auto found = [&](const sums::Finding& finding) {
        progress.Clear();
        PrintFinding(folder, finding);
    };
    int problems = 0;
    int checked = 0;
    if (noList.empty()) {
        progress.Start(audit.TotalBytes(), audit.TotalPieces());
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
        problems = audit.Failures();
        checked = audit.Checked();
    }
    RecoveryVerdict recovered;
    if (!noList.empty() || problems > 0) {
        if (const int status =
                VerifyRecovery(folder, !noList.empty(), arguments.quiet, found, &recovered)) {
            return status;
        }
        if (!noList.empty() && !recovered.found) {
            ReportError(sumsPath, noList);
            return kExitSource;
        }
        problems += recovered.problems;
    }
    if (problems > 0) {
        if (!arguments.quiet) {
            ReportError(folder, "verification failed (" + std::to_string(problems) +
                                    (problems == 1 ? " problem)" : " problems)"));
        }
        return kExitVerify;
    }
    progress.Finish("verified " + std::to_string(noList.empty() ? checked : recovered.checked) +
                    " pieces in " + sums::PrintableName(folder) +
                    (noList.empty() ? " against SHA256SUMS" : " against the recovery data") +
                    ": all good");
    return kExitOk;
}

}  // namespace cli
