#include "engine/job_controller.h"

#include <system_error>

#include "engine/join_run.h"

CJobController::CJobController(platform::NotifyTarget hNotifyWnd)
    : m_hNotifyWnd(hNotifyWnd),
      m_copyHooks{[this] { return KeepGoing(); }, {}, &m_nBytesCopied},
      m_watchedHooks{
          [this] { return KeepGoing(); },
          [this](const char* data, std::size_t size) { m_pJobObserver->PieceBytes(data, size); },
          &m_nBytesCopied, [this](std::size_t* size) { return m_pJobObserver->ReadBuffer(size); }} {
    ResetJob();
    try {
        m_pWorker = std::make_unique<std::thread>(WorkerMain, this);
    } catch (const std::system_error&) {
        // Without a worker every start command is refused (see StartSplit).
        m_pWorker.reset();
    }
}

CJobController::~CJobController() {
    Shutdown();
}

void CJobController::ResetJob() {
    std::lock_guard<std::mutex> guard(m_csJob);
    m_strSource.clear();
    m_strTarget.clear();
    m_nPieceSize = 0;
    m_bSplit = true;
    m_joinOptions = JoinOptions();
    m_bContinue = true;
    m_bBusy = false;
}

unsigned CJobController::WorkerMain(CJobController* controller) {
    for (;;) {
        controller->m_hWakeEvent.Wait();
        if (controller->m_bShutdown) {
            return 0;
        }
        controller->m_pJobObserver = controller->m_pObserver;
        if (controller->m_bSplit) {
            controller->RunSplit();
        } else {
            controller->RunJoin();
        }
        controller->PostResult();
        controller->ResetJob();
    }
}

bool CJobController::StartSplit(const char* target, const char* source, std::uint32_t pieceSize) {
    Slot slot;
    slot.split = true;
    slot.pieceSize = pieceSize;
    return pieceSize != 0 && Queue(target, source, slot);
}

bool CJobController::StartJoin(const char* target, const char* source, const JoinOptions& options) {
    Slot slot;
    slot.split = false;
    slot.joinOptions = options;
    return Queue(target, source, slot);
}

bool CJobController::Queue(const char* target, const char* source, const Slot& slot) {
    if (!m_pWorker) {
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_csJob);
        if (m_bBusy) {
            return false;
        }
        m_strSource = source;
        m_strTarget = target;
        m_bSplit = slot.split;
        if (slot.split) {
            m_nPieceSize = slot.pieceSize;
        } else {
            m_joinOptions = slot.joinOptions;
        }
        m_nBytesCopied = 0;
        m_nBytesExpected = 0;
        m_report = JobReport();
        m_bBusy = true;
    }
    m_hWakeEvent.Signal();
    return true;
}

void CJobController::RunJoin() {
    JoinRun(*this).Run();
}

bool CJobController::Pause() {
    if (!m_bBusy) {
        return false;
    }
    if (!m_bHeld) {
        m_hold.Hold();
        m_bHeld = true;
    }
    return true;
}

bool CJobController::Resume() {
    // Read before the release: a released job may end at once.
    const bool busy = m_bBusy;
    if (m_bHeld) {
        m_hold.Release();
        m_bHeld = false;
    }
    return busy;
}

bool CJobController::Abort() {
    {
        std::lock_guard<std::mutex> guard(m_csJob);
        if (m_bBusy) {
            m_bContinue = false;
        }
    }
    return Resume();
}

void CJobController::Shutdown() {
    if (m_bShutdown.exchange(true)) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_csJob);
        m_bContinue = false;
    }
    if (m_bHeld) {
        m_hold.Release();
        m_bHeld = false;
    }
    m_hWakeEvent.Signal();
    if (m_pWorker) {
        m_pWorker->join();
        m_pWorker.reset();
    }
}

bool CJobController::KeepGoing() {
    m_hold.Pass();
    return m_bContinue;
}

void CJobController::PostStopped(int lastFinished) {
    if (!m_bShutdown) {
        Post(WM_JOB_DONE, JOB_ABORTED, lastFinished);
    }
}

void CJobController::Fail(JobResult result,
                          int lastFinished,
                          JobReport::Problem problem,
                          const std::string& path,
                          const std::string& reason,
                          int piece) {
    m_report.problem = problem;
    m_report.path = path;
    m_report.reason = reason;
    m_report.piece = piece;
    Post(WM_JOB_DONE, result, lastFinished);
}

void CJobController::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WM_JOB_DONE) {
        // A job has one result: its first.
        if (!m_bResultKept) {
            m_bResultKept = true;
            m_nResult = wParam;
            m_nLastFinished = lParam;
        }
        return;
    }
    // The result is not examined: the worker has no other way to reach the receiver, and
    // a retry could reorder the notifications.
    platform::PostNotification(m_hNotifyWnd, message, wParam, lParam);
}

void CJobController::PostResult() {
    const bool kept = m_bResultKept;
    m_bResultKept = false;
    // A controller being torn down posts no result, as a job stopped by it posts none.
    if (kept && !m_bShutdown) {
        platform::PostNotification(m_hNotifyWnd, WM_JOB_DONE, m_nResult, m_nLastFinished);
    }
}
