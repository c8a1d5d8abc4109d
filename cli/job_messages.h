// What the command line says about a job that did not end well, from the engine's report
// and the checksum layer's findings: one line per thing wrong, "secanto: PATH: reason".
#pragma once

#include <string>
#include <vector>

#include "engine/job_report.h"
#include "folder/recovery_scan.h"
#include "folder/set_choice.h"
#include "sums/finding.h"

namespace cli {

// The report's problem, on standard error. Nothing for kNone and kVetoed, whose observer
// speaks for itself.
void ReportProblem(const JobReport& report);

// As ReportProblem, with more where the report alone would mislead: the pieces that do not
// fit after a whole set of `fileName`'s pieces in `piecesFolder` (a join's kMisfit), or why
// the folder `target` could not be made (kUnwritable there).
void ReportJobProblem(const JobReport& report,
                      const std::string& target,
                      const std::string& piecesFolder,
                      const std::string& fileName);

// A deletion that failed with delete-after-use: "secanto: PATH: not deleted: REASON".
// True when there was one.
bool ReportNotDeleted(const JobReport& report);

// A finding of the checksum layer, in `folder`, on standard error.
void ReportFinding(const std::string& folder, const sums::Finding& finding);

// A line per name refused by recovery data, naming the recovery file: "secanto: DIR/x.par2:
// refused the name ../x (names a path, not a file of the folder); its recovery data is not
// used".
void ReportRefusedNames(const std::vector<folder::RefusedName>& refused);

// A line per set the choice did not use, naming its first recovery file: "secanto:
// DIR/old.par2: not used: made for other bytes: 1__x.bin matches its line in SHA256SUMS".
// Those that only lack pieces are named only with `partialToo`.
void ReportSetsNotUsed(const std::vector<folder::SetNotUsed>& notUsed, bool partialToo);

}  // namespace cli
