#include "internal/HelperChannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <map>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How long an abandoned request may take to stop by itself before its
// helper is killed; together with the polling step it keeps a cancel well
// under half a second.
constexpr auto kAbortGrace = std::chrono::milliseconds(250);
constexpr int kPollStepMs = 20;

std::mutex settingsLock;
PdfHelperSettings settings;

std::mutex registryLock;
// Keyed by the address of the shared buffer: documents opened from copies
// of one QByteArray share its data, and a holder keeps that data alive, so
// an address cannot be reused while its entry lives.
std::map<std::pair<const char*, qsizetype>, std::weak_ptr<SharedSource>> registry;

QString helperProgram()
{
    const QString chosen = pdfHelperSettings().program;
    if (!chosen.isEmpty())
        return chosen;
    // Beside the executable that uses the service (the build tree), else
    // where the install rules put it relative to that executable's folder.
    const QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    const QString beside = folder + QStringLiteral("/planfolio-pdf-helper");
    if (QFileInfo(beside).isExecutable())
        return beside;
#ifdef PLANFOLIO_INSTALLED_HELPER
    const QString installed = QDir::cleanPath(folder + QStringLiteral("/" PLANFOLIO_INSTALLED_HELPER));
    if (QFileInfo(installed).isExecutable())
        return installed;
#endif
#ifdef PLANFOLIO_BUILT_HELPER
    // Programs run from the build tree (tests, benchmarks) use the helper
    // built with them.
    return QStringLiteral(PLANFOLIO_BUILT_HELPER);
#else
    return beside;
#endif
}

// A descriptor number no lower than 100, so that moving it onto 3, 4 or 5
// in the child can never overwrite another one of the three.
int highCopy(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 100);
}

} // namespace

PdfHelperSettings pdfHelperSettings()
{
    std::lock_guard guard(settingsLock);
    return settings;
}

void setPdfHelperSettings(const PdfHelperSettings& s)
{
    std::lock_guard guard(settingsLock);
    settings = s;
}

SharedSource::~SharedSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<SharedSource> SharedSource::make(const QByteArray& bytes)
{
    const int fd = ::memfd_create("planfolio-source", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return nullptr;
    if (!HelperWire::writeAll(fd, bytes.constData(), std::size_t(bytes.size())) &&
        !bytes.isEmpty()) {
        ::close(fd);
        return nullptr;
    }
    // From here on nobody can change the bytes a helper reads.
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<SharedSource>(new SharedSource(bytes, fd));
}

std::shared_ptr<SharedSource> SharedSource::forBytes(const QByteArray& bytes)
{
    std::lock_guard guard(registryLock);
    const auto key = std::make_pair(bytes.constData(), bytes.size());
    if (auto it = registry.find(key); it != registry.end()) {
        if (std::shared_ptr<SharedSource> live = it->second.lock())
            return live;
    }
    std::shared_ptr<SharedSource> made = make(bytes);
    // Drop entries whose files are gone, then remember this one.
    for (auto it = registry.begin(); it != registry.end();)
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    if (made)
        registry[key] = made;
    return made;
}

std::shared_ptr<SharedSource> SharedSource::repaired(const std::function<std::optional<QByteArray>()>& repair)
{
    std::lock_guard guard(m_lock);
    if (!m_repairTried) {
        m_repairTried = true;
        if (const std::optional<QByteArray> bytes = repair())
            m_repaired = make(*bytes);
    }
    return m_repaired;
}

std::shared_ptr<SharedSource> SharedSource::displayCopy(double pixelsPerPoint,
                                                       const std::function<std::optional<QByteArray>()>& copy)
{
    std::lock_guard guard(m_lock);
    if (auto found = m_display.find(pixelsPerPoint); found != m_display.end())
        return found->second;
    std::shared_ptr<SharedSource>& made = m_display[pixelsPerPoint];
    if (const std::optional<QByteArray> bytes = copy())
        made = make(*bytes);
    return made;
}

HelperChannel::HelperChannel(std::shared_ptr<SharedSource> source) : m_source(std::move(source)) {}

HelperChannel::~HelperChannel()
{
    stop();
}

bool HelperChannel::start()
{
    if (!m_source)
        return false;
    const PdfHelperSettings limits = pdfHelperSettings();
    const QByteArray program = QFile::encodeName(helperProgram());

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const int controlFd = ::memfd_create("planfolio-control", MFD_CLOEXEC);
    if (controlFd < 0 || ::ftruncate(controlFd, sizeof(HelperWire::Control)) != 0) {
        if (controlFd >= 0)
            ::close(controlFd);
        ::close(pair[0]);
        ::close(pair[1]);
        return false;
    }
    void* map = ::mmap(nullptr, sizeof(HelperWire::Control), PROT_READ | PROT_WRITE, MAP_SHARED, controlFd, 0);
    const int source = highCopy(m_source->fd());
    const int child = highCopy(pair[1]);
    const int control = highCopy(controlFd);
    ::close(pair[1]);

    bool ok = map != MAP_FAILED && source >= 0 && child >= 0 && control >= 0;
    pid_t pid = -1;
    if (ok) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, source, HelperWire::sourceFd);
        posix_spawn_file_actions_adddup2(&actions, child, HelperWire::socketFd);
        posix_spawn_file_actions_adddup2(&actions, control, HelperWire::controlFd);
        // Its own process group, so a terminal's interrupt reaches only
        // this process, which then cancels; default signal handling and
        // an empty mask whatever the starting thread had.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const QByteArray memory = "--memory-limit=" + QByteArray::number(limits.memoryBytes);
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>("--serve"),
                        const_cast<char*>(memory.constData()), nullptr};
        ok = ::posix_spawn(&pid, program.constData(), &actions, &attr, argv, environ) == 0;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
    }
    for (int fd : {source, child, control, controlFd}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (!ok) {
        if (map != MAP_FAILED)
            ::munmap(map, sizeof(HelperWire::Control));
        ::close(pair[0]);
        return false;
    }
    m_pid = pid;
    m_socket = pair[0];
    m_control = static_cast<HelperWire::Control*>(map);
    if (m_nice != 0)
        ::setpriority(PRIO_PROCESS, id_t(m_pid), m_nice);
    return true;
}

void HelperChannel::setNice(int nice)
{
    m_nice = nice;
    // Raising a process's nice value needs no privilege; a failure leaves
    // it at the usual priority, which is still correct.
    if (m_pid > 0)
        ::setpriority(PRIO_PROCESS, id_t(m_pid), m_nice);
}

void HelperChannel::stop()
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
    if (m_pid > 0) {
        // Killed rather than asked: a helper stuck inside the library
        // would never read a request to stop.
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    if (m_control)
        ::munmap(m_control, sizeof(HelperWire::Control));
    m_control = nullptr;
}

HelperChannel::Answer HelperChannel::call(HelperWire::Request kind, const QByteArray& payload, double seconds,
                                          const AbortCheck& abort)
{
    Answer result;
    if (abort && abort()) {
        result.outcome = Outcome::Aborted;
        return result;
    }
    if (m_pid <= 0 && !start())
        return result;

    HelperWire::Header header;
    header.kind = std::uint32_t(kind);
    header.ticket = ++m_ticket;
    header.length = std::uint64_t(payload.size());
    if (!HelperWire::writeAll(m_socket, &header, sizeof header) ||
        !HelperWire::writeAll(m_socket, payload.constData(), std::size_t(payload.size()))) {
        stop();
        return result;
    }

    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(std::max(seconds, 0.0)));
    std::optional<Clock::time_point> abandonedAt;
    for (;;) {
        const auto now = Clock::now();
        if (!abandonedAt && abort && abort()) {
            m_control->abandoned.store(m_ticket, std::memory_order_relaxed);
            abandonedAt = now;
        }
        if (abandonedAt && now - *abandonedAt > kAbortGrace) {
            stop();
            result.outcome = Outcome::Aborted;
            return result;
        }
        if (!abandonedAt && now > deadline) {
            stop(); // broke the time limit
            return result;
        }
        pollfd p{m_socket, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollStepMs);
        if (ready < 0 && errno != EINTR) {
            stop();
            return result;
        }
        if (ready <= 0)
            continue;

        HelperWire::Header answer;
        if (!HelperWire::readAll(m_socket, &answer, sizeof answer) || answer.ticket != m_ticket ||
            answer.length > HelperWire::maxPayload) {
            // Gone (crashed, killed by its memory limit) or talking nonsense.
            stop();
            result.outcome = abandonedAt ? Outcome::Aborted : Outcome::Lost;
            return result;
        }
        result.payload.resize(qsizetype(answer.length));
        if (!HelperWire::readAll(m_socket, result.payload.data(), std::size_t(answer.length))) {
            stop();
            result.payload.clear();
            result.outcome = abandonedAt ? Outcome::Aborted : Outcome::Lost;
            return result;
        }
        if (abandonedAt) {
            result.payload.clear();
            result.outcome = Outcome::Aborted;
            return result;
        }
        switch (HelperWire::Status(answer.kind)) {
        case HelperWire::Status::Ok:
            result.outcome = Outcome::Ok;
            break;
        case HelperWire::Status::Aborted:
            result.outcome = Outcome::Aborted;
            break;
        default:
            result.outcome = Outcome::Failed;
            break;
        }
        return result;
    }
}
