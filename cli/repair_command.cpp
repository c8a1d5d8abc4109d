// secanto repair DIR: the missing and damaged pieces of DIR's file rebuilt in place from the
// recovery data there (any *.par2 file whose packets describe them). One line says what it
// rebuilt; silent when the pieces were whole (status 0 either way); status 4, nothing
// changed, when the recovery data is not enough or not usable.
#include <string>

#include "cli/commands.h"
#include "cli/join_set.h"
#include "cli/piece_rebuild.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "recovery/leftovers.h"
#include "sums/checksum_line.h"

namespace cli {

int RepairCommand(const Arguments& arguments) {
    std::string folder;
    std::string fileName;
    if (const int status = ChooseJoinSet(arguments.operand, &folder, &fileName)) {
        return status;
    }
    // What a killed split -r or repair of these pieces left goes; a live one's stays.
    recovery::RemoveLeftovers(folder, fileName);
    RebuildRequest request;
    request.folder = folder;
    request.fileName = fileName;
    RebuildOutcome outcome;
    if (const int status = RebuildPieces(request, &outcome)) {
        return status;
    }
    const std::string pieces = "the pieces of " + sums::PrintableName(fileName);
    if (!outcome.found) {
        ReportError(folder, "no recovery data (*.par2) describes " + pieces);
        return kExitSource;
    }
    if (!outcome.usable) {
        ReportError(folder, "no usable recovery data for " + pieces);
        return kExitVerify;
    }
    // What was changed is said wherever standard error goes; that nothing was, only on a
    // terminal.
    if (outcome.rebuilt > 0) {
        if (!arguments.quiet) {
            ReportError(folder,
                        "rebuilt " +
                            CountOf(static_cast<std::size_t>(outcome.rebuilt), "piece", "pieces") +
                            " of " + sums::PrintableName(fileName) + " from the recovery data");
        }
        return kExitOk;
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    progress.Finish(pieces + " in " + sums::PrintableName(folder) + " are whole");
    return kExitOk;
}

}  // namespace cli
