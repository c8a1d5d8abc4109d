// One job run on the controller's worker while the command's thread, as the dialog's would,
// takes its notifications: it draws the progress, turns an interrupt into Abort, and
// returns with the job's result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/progress_line.h"
#include "engine/job_controller.h"
#include "platform/notification_inbox.h"

namespace cli {

// What the progress line counts up to.
struct JobSize {
    std::uint64_t bytes = 0;
    std::uint64_t pieces = 0;
    // The pieces done so far, where the job's own count comes late: a join with
    // delete-after-use reports a piece only once it is deleted. Null: the job's count.
    std::function<std::uint64_t()> piecesDone;
};

// How a job ended, from its WM_JOB_DONE.
struct JobEnd {
    JobResult result = JOB_OK;
    int pieces = 0;      // pieces finished
    bool begun = false;  // the job posted its range: it got past opening what it reads
};

class JobRunner {
public:
    // A controller with the delete-after-use option and `observer` (null: none), which
    // must outlive the runner.
    JobRunner(ProgressLine* progress, bool deleteSource, JobObserver* observer);
    // Waits for the worker, unless the job was left held in the system (Run): then it ends
    // the process with status 130, since the worker can be neither stopped nor waited for.
    ~JobRunner();

    // The controller to start the job on. Without a usable inbox it refuses every job.
    CJobController& Controller() { return m_controller; }

    // Calls `start`, which starts the job on Controller(), and waits for its end, then
    // clears the progress line. At the job's range, `atRange` is given the pieces it
    // announced and tells the size to count up to; it may print notes, as nothing is drawn
    // yet. False, said on stderr, when the job could not be started.
    // After an interrupt, a job that does not stop soon and is still preparing (it has made
    // nothing yet), or is a split from a pipe, is left where the system holds it (a pipe
    // without a writer): Run returns JOB_ABORTED at once, the command says what it has to
    // say, and the runner's destructor ends the process.
    // While `stage` (if given) tells a stage the job's counts do not show, such as the
    // recovery data a split makes at its end, the progress line shows that instead.
    bool Run(const std::function<bool()>& start,
             const std::function<JobSize(std::uint64_t announcedPieces)>& atRange,
             JobEnd* end,
             const std::function<std::string()>& stage = std::function<std::string()>());

private:
    ProgressLine* m_progress;
    platform::NotificationInbox m_inbox;  // made before the controller, which posts to it
    CJobController m_controller;
    bool m_stranded = false;
};

}  // namespace cli
