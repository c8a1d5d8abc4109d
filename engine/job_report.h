// What a job found, beyond the result code its WM_JOB_DONE carries: which piece or file was
// at fault and the system's reason. The dialog shows only the result's box; the command line
// names the file and the reason from this.
#pragma once

#include <string>

struct JobReport {
    enum class Problem {
        kNone,
        kNoPieces,       // the folder holds no piece names, or could not be listed whole
        kBadName,        // the pieces' file name is empty, "." or "..": no file can have it
        kMissingPiece,   // `piece` is missing below the highest number found
        kMisfit,         // `piece` is not as long as a split makes it beside the others
        kUnreadable,     // `path` could not be opened or read
        kChanged,        // `path` changed while the job used it
        kUnwritable,     // `path` could not be made, written, flushed or closed
        kNameTooLong,    // `path`, the longest name the job would make, is too long there
        kTooManyPieces,  // the source would need more pieces than can be numbered
        kOutputMoved,    // the output at `path` was removed or replaced under the job
        kVetoed,         // the job's observer refused; it says why itself
        kNotDurable,     // the output is whole under its name, but its folder entry could
                         // not be flushed
        kPartialMisfit,  // the partial output at `path` does not fit the pieces (`reason`
                         // says how): nothing was changed
        kInUse,          // another job is writing `path` (a join's output, a split's first
                         // piece): nothing was changed
        kCanContinue,    // the file at `path` holds the first `piece` pieces, which are
                         // missing: a join can go on from it, and nothing was replaced
    };

    Problem problem = Problem::kNone;
    int piece = 0;       // for kMissingPiece, kMisfit and kCanContinue
    std::string path;    // the file or folder at fault
    std::string reason;  // the system's words, where it gave any

    // With delete-after-use: a file that could not be deleted (the job deleted nothing more
    // and went on) and why. Empty when every deletion asked for succeeded.
    std::string notDeleted;
    std::string notDeletedReason;
};
