#pragma once

// The one background queue for long work: a single thread that runs the
// submitted jobs one after another, in submission order, never two at once.
// Jobs receive everything they need by value and hand results back to the
// main thread themselves (App::deliver).

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

class SerialWorker
{
public:
    explicit SerialWorker(const QString& name);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues `job` behind every job submitted before it. Any thread.
    void submit(std::function<void()> job);

    // Drops the jobs not yet started and waits for the running one to
    // return (callers cancel its token first). Later submissions are
    // dropped. Main thread; idempotent.
    void stop();

    // The thread the jobs run on.
    QThread* thread() const { return m_thread.get(); }

private:
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::unique_ptr<QThread> m_thread;
};
