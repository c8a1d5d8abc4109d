// verify's lines and summaries from the recovery data (folder/recovery_verdict.h), file by
// file, pieces in number order.
#include "cli/recovery_verify.h"

#include "cli/job_messages.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "folder/recovery_verdict.h"
#include "platform/interrupt.h"
#include "sums/checksum_line.h"

namespace cli {

int VerifyRecovery(const std::string& folder,
                   bool listPieces,
                   bool quiet,
                   const std::function<void(const sums::Finding&)>& found,
                   RecoveryVerdict* verdict) {
    *verdict = RecoveryVerdict();
    folder::RecoveryVerdict checked;
    const recovery::Status status = folder::CheckAgainstRecovery(
        folder, [] { return !platform::Interrupted(); }, &checked);
    if (status.failure == recovery::Failure::kStopped) {
        ReportError(folder, "interrupted");
        return kExitInterrupted;
    }
    if (!status.Ok()) {
        ReportError(folder, status.reason);
        return kExitSource;
    }
    verdict->found = checked.found;
    if (!verdict->found) {
        return kExitOk;
    }
    // A refused set is a problem of its own: the recovery data meant for the pieces is no use.
    verdict->problems = checked.unusable;
    ReportRefusedNames(checked.refused);
    ReportSetsNotUsed(checked.notUsed, true);
    for (const folder::FileVerdict& file : checked.files) {
        verdict->checked += file.checked;
        if (listPieces) {
            for (const sums::Finding& finding : file.findings) {
                found(finding);
            }
            verdict->problems += static_cast<int>(file.findings.size());
        }
        if (!file.described || file.bad == 0 || quiet) {
            continue;
        }
        // The command that repairs this file's pieces: the folder when they are its only ones.
        const bool alone = checked.files.size() == 1;
        const std::string operand = alone ? folder : InFolder(folder, PieceName(1, file.fileName));
        const std::string what = CountOf(file.bad, "piece", "pieces") +
                                 (alone ? "" : " of " + sums::PrintableName(file.fileName));
        ReportError(folder, file.repairable
                                ? what + " can be rebuilt: secanto repair " + ShellWord(operand)
                                : what + " missing or damaged cannot be rebuilt: " +
                                      CountOf(file.moreNeeded, "more recovery slice is",
                                              "more recovery slices are") +
                                      " needed");
    }
    return kExitOk;
}

}  // namespace cli
