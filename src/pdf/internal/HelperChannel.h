#pragma once

// Private to src/pdf: the service's side of one helper process, and the
// sealed memory files that hand it the source bytes.

#include "PdfDocument.h"
#include "internal/HelperWire.h"

#include <QByteArray>

#include <map>
#include <memory>
#include <mutex>

#include <sys/types.h>

// The bytes a helper reads, in a sealed memory file: written once, then
// sealed against any change, so a helper can map it but never alter it and
// nothing is ever written to disk. Documents over the same bytes (one per
// thread) share one file, and its repaired copy.
class SharedSource
{
public:
    ~SharedSource();
    SharedSource(const SharedSource&) = delete;
    SharedSource& operator=(const SharedSource&) = delete;

    // The file for `bytes`, made on first use and shared while any holder
    // lives; null when no memory file can be made. Any thread.
    static std::shared_ptr<SharedSource> forBytes(const QByteArray& bytes);

    int fd() const { return m_fd; }

    // The same document rewritten by `repair` (called once, under this
    // object's lock, on the first thread that asks), as its own shared
    // file; null when the repair gives nothing. Never recomputed.
    std::shared_ptr<SharedSource> repaired(const std::function<std::optional<QByteArray>()>& repair);

    // The same document with its large images reduced for display at
    // `pixelsPerPoint` (see PdfInternal::displayCopy), made by `copy` once
    // for each resolution, as for repaired().
    std::shared_ptr<SharedSource> displayCopy(double pixelsPerPoint,
                                              const std::function<std::optional<QByteArray>()>& copy);

private:
    SharedSource(QByteArray bytes, int fd) : m_bytes(std::move(bytes)), m_fd(fd) {}
    static std::shared_ptr<SharedSource> make(const QByteArray& bytes);

    QByteArray m_bytes; // holds the buffer the registry is keyed by
    int m_fd = -1;
    std::mutex m_lock;
    bool m_repairTried = false;
    std::shared_ptr<SharedSource> m_repaired;
    std::map<double, std::shared_ptr<SharedSource>> m_display; // tried resolutions
};

// One helper process over one source. Started on first use, killed and
// started again after it crashed, broke a limit or ignored an abort. Used
// by one thread at a time.
class HelperChannel
{
public:
    enum class Outcome {
        Ok,
        Failed,  // the helper answered that it could not do it
        Aborted, // the caller's abort check fired
        Lost,    // the helper crashed, broke a limit or could not start
    };
    struct Answer
    {
        Outcome outcome = Outcome::Lost;
        QByteArray payload;
    };

    explicit HelperChannel(std::shared_ptr<SharedSource> source);
    ~HelperChannel();
    HelperChannel(const HelperChannel&) = delete;
    HelperChannel& operator=(const HelperChannel&) = delete;

    // Sends one request and waits for its answer, at most `seconds`; polls
    // `abort` meanwhile. An abandoned request gets a short grace to stop
    // cooperatively, after which the helper is killed.
    Answer call(HelperWire::Request kind, const QByteArray& payload, double seconds, const AbortCheck& abort);

    // The helper's CPU priority as a nice value (0: as this process; 10:
    // behind it and everything at the usual priority), now and for every
    // helper started later.
    void setNice(int nice);

private:
    bool start();
    void stop();

    std::shared_ptr<SharedSource> m_source;
    pid_t m_pid = -1;
    int m_socket = -1;
    int m_controlFd = -1;
    HelperWire::Control* m_control = nullptr;
    std::uint32_t m_ticket = 0;
    int m_nice = 0;
};
