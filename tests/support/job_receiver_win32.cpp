// The platform's inbox, a message-only window; posting never blocks here, so there is no
// catch.
#include "tests/support/job_receiver.h"

#include "platform/notification_inbox.h"

namespace {

platform::NotificationInbox* Inbox(void* impl) {
    return static_cast<platform::NotificationInbox*>(impl);
}

}  // namespace

JobReceiver::JobReceiver() : m_impl(new platform::NotificationInbox) {}

JobReceiver::~JobReceiver() {
    delete Inbox(m_impl);
}

platform::NotifyTarget JobReceiver::Target() const {
    return Inbox(m_impl)->Target();
}

bool JobReceiver::Next(JobMessage* message, std::chrono::milliseconds timeout) {
    return Inbox(m_impl)->Next(message, timeout);
}

bool JobReceiver::CatchWorkerAt(unsigned, std::intptr_t) {
    return false;
}

bool JobReceiver::WaitWorkerCaught(std::chrono::milliseconds) {
    return false;
}

void JobReceiver::ReleaseWorker() {}
