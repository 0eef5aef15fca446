#include "SignalCancellation.h"

#include "Workflow.h"

#include <csignal>
#include <pthread.h>

namespace {

sigset_t cancellingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void SignalCancellation::blockSignals()
{
    const sigset_t set = cancellingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalCancellation::SignalCancellation(WorkCancellation& token) : m_token(token)
{
    m_thread = std::thread([this] { watch(); });
}

SignalCancellation::~SignalCancellation()
{
    // Wake the waiting thread with a signal aimed at it alone; the flag
    // tells it this one is not a request to cancel.
    m_stopping.store(true);
    pthread_kill(m_thread.native_handle(), SIGTERM);
    m_thread.join();
}

void SignalCancellation::watch()
{
    const sigset_t set = cancellingSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&set, &received) != 0)
            continue;
        if (m_stopping.load())
            return;
        int none = 0;
        m_signal.compare_exchange_strong(none, received);
        m_token.cancel();
    }
}
