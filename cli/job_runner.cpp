// The command's wait loop: short waits for notifications, so that the progress is redrawn
// and an interrupt is seen within a tenth of a second even while the job posts nothing.
#include "cli/job_runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cli/report.h"
#include "platform/interrupt.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPoll(100);
// How long a job asked to stop may take before it counts as held by the system. The jobs
// stop within a block, far sooner, wherever they can be stopped at all.
constexpr std::chrono::milliseconds kStopGrace(300);

}  // namespace

JobRunner::JobRunner(ProgressLine* progress, bool deleteSource, JobObserver* observer)
    : m_progress(progress), m_controller(m_inbox.Target()) {
    m_controller.m_bDeleteSource = deleteSource;
    m_controller.SetObserver(observer);
}

JobRunner::~JobRunner() {
    if (m_stranded) {
        // The worker cannot be waited for, and nothing it still holds needs closing (see
        // Run): the process ends here, with what the command has said.
        platform::WorkStopped();
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(kExitInterrupted);
    }
}

bool JobRunner::Run(const std::function<bool()>& start,
                    const std::function<JobSize(std::uint64_t)>& atRange,
                    JobEnd* end,
                    const std::function<std::string()>& stage) {
    if (m_inbox.Target() == nullptr || !start()) {
        ReportLine("the job could not be started");
        return false;
    }
    bool aborted = false;
    Clock::time_point abortedAt;
    bool ranged = false;
    std::uint64_t piecesDone = 0;
    std::function<std::uint64_t()> countPieces;
    for (;;) {
        if (!aborted && platform::Interrupted()) {
            m_controller.Abort();
            aborted = true;
            abortedAt = Clock::now();
        }
        platform::Notification notification;
        if (m_inbox.Next(&notification, kPoll)) {
            switch (notification.message) {
                case WM_JOB_RANGE: {
                    const JobSize size = atRange(notification.wParam);
                    m_progress->Start(size.bytes, size.pieces);
                    countPieces = size.piecesDone;
                    ranged = true;
                    end->begun = true;
                    break;
                }
                case WM_JOB_PROGRESS:
                    piecesDone = static_cast<std::uint64_t>(notification.lParam);
                    break;
                case WM_JOB_DONE:
                    end->result = static_cast<JobResult>(notification.wParam);
                    end->pieces = static_cast<int>(notification.lParam);
                    m_progress->Clear();
                    return true;
                default:
                    break;
            }
        }
        const std::string stageText = stage ? stage() : std::string();
        if (!stageText.empty()) {
            m_progress->Note(stageText);
        } else if (ranged) {
            const std::uint64_t counted = countPieces ? countPieces() : 0;
            m_progress->Update(m_controller.m_nBytesCopied.load(),
                               counted > piecesDone ? counted : piecesDone);
        }
        // A job that does not stop may be held in the system: opening a pipe that waits for
        // a writer, reading one that waits for bytes, or opening a piece that is a pipe.
        // Before its range it has made nothing (at most a folder); a split from a pipe deletes
        // nothing and keeps its pieces as a stop keeps them. Only then may it be left behind.
        // A job past its range with files of its own to cut back or delete is waited for.
        if (aborted && Clock::now() - abortedAt >= kStopGrace &&
            (!ranged || m_controller.m_nBytesExpected.load() == CJobController::kUnknownLength)) {
            m_progress->Clear();
            end->result = JOB_ABORTED;
            end->pieces = static_cast<int>(piecesDone);
            m_stranded = true;
            return true;
        }
    }
}

}  // namespace cli
