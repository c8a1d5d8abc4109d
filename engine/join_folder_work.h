// Work a front end has done in the pieces folder as steps of a join, on the worker, so that
// the job's hold and stop reach it and its progress shows as the join's does: rebuilding
// missing and damaged pieces before the join lists them, and removing what described the
// pieces once a join has left none of them.
#pragma once

#include <functional>
#include <string>

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

    // Before the join lists the pieces of `fileName` in `folder` (the first claimed). JOB_OK
    // lets it go on; JOB_ABORTED ends it as stopped; another result ends it with that result,
    // when nothing may have been changed.
    virtual JobResult BeforeListing(const std::string& folder,
                                    const std::string& fileName,
                                    const Job& job) = 0;

    // After a join that ended well, its pieces deleted or not: the work tells by itself
    // whether any is left.
    virtual void AfterJoin(const std::string& folder, const std::string& fileName) = 0;
};
