#pragma once

// Ctrl-C (SIGINT) and SIGTERM cancel the running work through its
// WorkCancellation, exactly as the window's cancel button does: the engine
// notices at its next check, removes whatever it wrote, and the tool exits
// with 128 + the signal number.
//
// The signals are blocked in every thread (the mask is inherited, so
// blockSignals() must run before any thread starts) and received by one
// dedicated thread in sigwait(). No code runs in a signal handler.

#include <atomic>
#include <thread>

class WorkCancellation;

class SignalCancellation
{
  public:
    // Blocks SIGINT and SIGTERM in the calling thread. Call first thing in
    // main(), while it is the only thread.
    static void blockSignals();

    // Starts the thread that waits for the signals and cancels `token`.
    // `token` must outlive this object.
    explicit SignalCancellation(WorkCancellation& token);
    // Stops and joins the waiting thread.
    ~SignalCancellation();
    SignalCancellation(const SignalCancellation&) = delete;
    SignalCancellation& operator=(const SignalCancellation&) = delete;

    // The first signal received, or 0.
    int signalNumber() const { return m_signal.load(); }

  private:
    void watch();

    WorkCancellation& m_token;
    std::atomic<int> m_signal{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};
