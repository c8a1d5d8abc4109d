// The front of the split-and-join engine: one worker thread, one job slot, and the
// commands that start, hold, release and stop a job. Jobs report only through the posted
// notifications of job_notifications.h.
//
// Threads: the constructor, the commands, Shutdown and the destructor run on the
// user-interface thread; the jobs run on the worker. They share the slot, guarded by
// m_csJob for writes, and the atomic flags.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/block_copy.h"
#include "engine/deletion_batch.h"
#include "engine/hold_gate.h"
#include "engine/join_folder_work.h"
#include "engine/job_notifications.h"
#include "engine/job_observer.h"
#include "engine/job_report.h"
#include "platform/notify.h"
#include "platform/wake_event.h"

// How a join writes its output, beyond the paths.
struct JoinOptions {
    // Under a hidden name beside the output (StagingName), renamed to the output's name only
    // once it is whole, flushed and accepted by the observer; a failure that deleted no
    // piece removes it. One found there already holds the pieces an interrupted join
    // deleted: the join goes on from it (as with continueOutput) and never replaces it.
    bool staged = false;
    // The file whose pieces to join (N__NAME). Without it, the file of the piece listed last.
    std::optional<std::string> fileName;
    // Go on from the partial output a join with delete-after-use left when it stopped (the
    // output of that name, or the staged one), under the rule of CheckContinue: the pieces
    // it holds are checked, not copied again.
    bool continueOutput = false;
    // Work in the pieces folder before and after the join (null: none); it must outlive the
    // job.
    JoinFolderWork* folderWork = nullptr;
};

class CJobController {
public:
    // Starts the worker at once; it sleeps until a job is queued.
    explicit CJobController(platform::NotifyTarget hNotifyWnd);
    // Performs Shutdown unless the owner already has.
    ~CJobController();

    CJobController(const CJobController&) = delete;
    CJobController& operator=(const CJobController&) = delete;

    // Queues a job unless one is pending or running. The paths are copied. A piece size of
    // 0 is refused, and so is every job when the worker could not be started.
    bool StartSplit(const char* target, const char* source, std::uint32_t pieceSize);
    bool StartJoin(const char* target,
                   const char* source,
                   const JoinOptions& options = JoinOptions());

    // Holds the job at its next stop test; true when a job is pending or running.
    bool Pause();
    // Releases a hold, whether or not a job is still there; true when a job is pending or
    // running.
    bool Resume();
    // Asks the job to stop at its next stop test and releases a hold.
    bool Abort();
    // Stops a running job without a result notification, drops a pending one and waits
    // for the worker to end. Runs once; later calls return at once.
    void Shutdown();

    // Lets `observer` watch the jobs started from now on (null: none). Called while no job
    // is pending or running; the observer must outlive those jobs.
    void SetObserver(JobObserver* observer) { m_pObserver = observer; }

    // The time as the jobs tell it, for the age of a batch of pieces waiting for deletion
    // (steady_clock unless set). Called while no job is pending or running.
    void SetClock(DeletionBatch::Clock clock) { m_clock = std::move(clock); }

    // Points of a job where a test forces another program's step in between: the join has
    // claimed and listed the pieces it takes; the split's first piece has its name.
    enum class JobPoint { kJoinListed, kSplitFirstVisible };
    // Called on the worker at each such point (null: none). Set while no job is pending or
    // running.
    void SetPointHook(std::function<void(JobPoint)> hook) { m_pointHook = std::move(hook); }

    // What the last job found beyond its result code. Read once its WM_JOB_DONE has
    // arrived, until the next start command.
    const JobReport& LastReport() const { return m_report; }

    // A job is pending or running. Read by the owner at any time.
    std::atomic<bool> m_bBusy{false};
    // Delete-after-use option, written by the owner at any time; a job reads it at the
    // moment it would delete.
    std::atomic<bool> m_bDeleteSource{false};
    // Bytes the current or last job has copied so far, for a display of its progress within
    // a piece. Cleared when a job is accepted.
    std::atomic<std::uint64_t> m_nBytesCopied{0};
    // Bytes the current job will copy, known when it posts WM_JOB_RANGE: the source's
    // length for a split (kUnknownLength for a source that is no file on a disk, such as a
    // pipe, read to its end), the pieces' lengths for a join.
    std::atomic<std::uint64_t> m_nBytesExpected{0};
    static constexpr std::uint64_t kUnknownLength = ~std::uint64_t{0};

private:
    friend class JoinRun;
    friend class SplitRun;

    // What a start command puts in the slot, beside the paths.
    struct Slot {
        bool split = true;
        std::uint32_t pieceSize = 0;
        JoinOptions joinOptions;
    };
    // Puts a job in the slot unless one is pending or running, and wakes the worker.
    bool Queue(const char* target, const char* source, const Slot& slot);
    void ResetJob();
    static unsigned WorkerMain(CJobController* controller);
    void RunSplit();
    void RunJoin();

    // The stop test before every block: waits out a hold, then tells whether to go on.
    bool KeepGoing();
    void AtPoint(JobPoint point) {
        if (m_pointHook) {
            m_pointHook(point);
        }
    }
    // Posts WM_JOB_DONE for a job that was asked to stop, unless the controller is being
    // torn down.
    void PostStopped(int lastFinished);
    // Posts WM_JOB_DONE with `result`, having noted in the report what went wrong.
    void Fail(JobResult result,
              int lastFinished,
              JobReport::Problem problem,
              const std::string& path,
              const std::string& reason = std::string(),
              int piece = 0);
    // Posts a notification at once; WM_JOB_DONE is kept until the job has ended (PostResult).
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Posts the job's kept WM_JOB_DONE once the job has let go of every file it held, so that
    // a receiver may at once delete or reuse the files the job used. Worker thread only.
    void PostResult();

    std::string m_strSource;
    std::string m_strTarget;
    std::uint32_t m_nPieceSize = 0;
    bool m_bSplit = true;
    JoinOptions m_joinOptions;
    std::atomic<bool> m_bContinue{true};
    std::atomic<bool> m_bShutdown{false};
    bool m_bHeld = false;  // user-interface thread only

    std::mutex m_csJob;
    const platform::NotifyTarget m_hNotifyWnd;
    platform::WakeEvent m_hWakeEvent;
    HoldGate m_hold;
    std::unique_ptr<std::thread> m_pWorker;
    std::atomic<JobObserver*> m_pObserver{nullptr};
    JobObserver* m_pJobObserver = nullptr;  // the running job's, worker thread only
    JobReport m_report;  // written by the running job, read by the owner after its end
    // The running job's WM_JOB_DONE, until PostResult; worker thread only.
    bool m_bResultKept = false;
    std::uintptr_t m_nResult = 0;
    std::intptr_t m_nLastFinished = 0;
    DeletionBatch::Clock m_clock = std::chrono::steady_clock::now;
    std::function<void(JobPoint)> m_pointHook;
    // The copy loop's hooks for a job nobody watches (or whose observer needs no bytes),
    // which lets the system copy the bytes itself, and for a watched one, whose bytes all
    // pass the observer.
    const CopyHooks m_copyHooks;
    const CopyHooks m_watchedHooks;
    const CopyHooks& Hooks() const {
        return m_pJobObserver != nullptr && m_pJobObserver->WatchesBytes() ? m_watchedHooks
                                                                           : m_copyHooks;
    }
};
