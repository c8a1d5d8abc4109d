#include "tests/support/job_receiver.h"

#include <condition_variable>
#include <mutex>

#include "platform/notification_inbox.h"
#include "platform/posix/notification_queue.h"

struct JobReceiver::Catch {
    std::mutex lock;
    std::condition_variable changed;
    unsigned message = 0;
    std::intptr_t lParam = 0;
    bool armed = false;
    bool caught = false;
    bool released = false;
};

namespace {

platform::NotificationInbox* Inbox(void* impl) {
    return static_cast<platform::NotificationInbox*>(impl);
}

}  // namespace

JobReceiver::JobReceiver() : m_impl(new platform::NotificationInbox), m_catch(new Catch) {
    Catch* c = m_catch;
    // Here an inbox's target is a NotificationQueue, whose posts can be held.
    static_cast<platform::NotificationQueue*>(Inbox(m_impl)->Target())
        ->SetPostHook([c](const platform::Notification& n) {
            std::unique_lock<std::mutex> guard(c->lock);
            if (!c->armed || n.message != c->message || n.lParam != c->lParam) {
                return;
            }
            c->armed = false;
            c->caught = true;
            c->changed.notify_all();
            c->changed.wait(guard, [c] { return c->released; });
        });
}

JobReceiver::~JobReceiver() {
    ReleaseWorker();
    delete Inbox(m_impl);
    delete m_catch;
}

platform::NotifyTarget JobReceiver::Target() const {
    return Inbox(m_impl)->Target();
}

bool JobReceiver::Next(JobMessage* message, std::chrono::milliseconds timeout) {
    return Inbox(m_impl)->Next(message, timeout);
}

bool JobReceiver::CatchWorkerAt(unsigned message, std::intptr_t lParam) {
    std::lock_guard<std::mutex> guard(m_catch->lock);
    m_catch->message = message;
    m_catch->lParam = lParam;
    m_catch->armed = true;
    m_catch->caught = false;
    m_catch->released = false;
    return true;
}

bool JobReceiver::WaitWorkerCaught(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_catch->lock);
    return m_catch->changed.wait_for(guard, timeout, [this] { return m_catch->caught; });
}

void JobReceiver::ReleaseWorker() {
    {
        std::lock_guard<std::mutex> guard(m_catch->lock);
        m_catch->armed = false;
        m_catch->released = true;
    }
    m_catch->changed.notify_all();
}
