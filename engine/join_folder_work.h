// Work a front end has done in the pieces folder as steps of a join, on the worker, so that
// the job's hold and stop reach it and its progress shows as the join's does: rebuilding
// missing and damaged pieces before the join lists them, and removing what described the
// pieces when a join with delete-after-use is about to delete the last of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/job_notifications.h"

class JoinFolderWork {
public:
    virtual ~JoinFolderWork() = default;

    // What the job lends the work.
    struct Job {
        // The job's stop test: waits out a hold, false once the job is to stop.
        std::function<bool()> keepGoing;
        // Posts WM_JOB_REBUILD: `pieces` are being rebuilt, `thousandths` of the work done.
        std::function<void(int pieces, int thousandths)> rebuilding;
    };

    // Before the join lists the pieces of `fileName` in `folder`, which the work claims
    // itself as it needs: the join takes its own claim only after. JOB_OK lets it go on;
    // JOB_ABORTED ends it as stopped; another result ends it with that result, when nothing
    // may have been changed.
    virtual JobResult BeforeListing(const std::string& folder,
                                    const std::string& fileName,
                                    const Job& job) = 0;

    // A join with delete-after-use has its output whole, durable and named, has deleted every
    // other piece of `fileName` in `folder`, and is about to delete `lastPieces`: what
    // describes the pieces goes now, before those, so that after a power cut in between the
    // same join, going on from its output, finishes. False, with the path at fault and why,
    // when something could not be removed: then the last pieces stay.
    virtual bool BeforeLastPieces(const std::string& folder,
                                  const std::string& fileName,
                                  const std::vector<int>& lastPieces,
                                  std::string* failedPath,
                                  std::string* reason) = 0;
};
