#include "SerialWorker.h"

#include <QThread>

SerialWorker::SerialWorker(const QString& name)
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(name);
    m_thread->start();
}

SerialWorker::~SerialWorker()
{
    stop();
}

void SerialWorker::submit(std::function<void()> job)
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopping)
            return;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SerialWorker::stop()
{
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_one();
    if (m_thread && m_thread->isRunning())
        m_thread->wait();
}

void SerialWorker::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock guard(m_lock);
            m_wake.wait(guard, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // Jobs catch their own failures and deliver them as task outcomes;
        // anything that still escapes must not take the process down.
        try {
            job();
        } catch (...) {
        }
    }
}
