// The command's wait loop: short waits for notifications, so that the progress is redrawn
// and an interrupt is seen within a tenth of a second even while the job posts nothing.
#include "cli/job_runner.h"

#include <chrono>

#include "cli/report.h"
#include "platform/interrupt.h"

namespace cli {

namespace {

constexpr std::chrono::milliseconds kPoll(100);

}  // namespace

JobRunner::JobRunner(ProgressLine* progress, bool deleteSource, JobObserver* observer)
    : m_progress(progress), m_controller(m_inbox.Target()) {
    m_controller.m_bDeleteSource = deleteSource;
    m_controller.SetObserver(observer);
}

bool JobRunner::Run(const std::function<bool()>& start,
                    const std::function<JobSize(std::uint64_t)>& atRange,
                    JobEnd* end) {
    if (m_inbox.Target() == nullptr || !start()) {
        ReportLine("the job could not be started");
        return false;
    }
    bool aborted = false;
    bool counting = false;
    std::uint64_t piecesDone = 0;
    for (;;) {
        if (!aborted && platform::Interrupted()) {
            m_controller.Abort();
            aborted = true;
        }
        platform::Notification notification;
        if (m_inbox.Next(&notification, kPoll)) {
            switch (notification.message) {
                case WM_JOB_RANGE: {
                    const JobSize size = atRange(notification.wParam);
                    m_progress->Start(size.bytes, size.pieces);
                    counting = true;
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
        if (counting) {
            m_progress->Update(m_controller.m_nBytesCopied.load(), piecesDone);
        }
    }
}

}  // namespace cli
