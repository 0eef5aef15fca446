#include "SourceFile.h"

#include "DocumentSafety.h"
#include "PdfDocument.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString notReadable = QStringLiteral("This file is not a readable PDF.");

// Closes a descriptor on every path out.
struct FdCloser
{
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads a regular file of at most sizeLimit bytes. The read itself stops
// one byte past the limit whatever the file system reported, so a file that
// grows while it is read, or lies about its size, cannot make it endless.
QByteArray readBounded(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        throw FileSystemError(std::error_code(errno, std::generic_category()));
    // A FIFO, a device or a folder reports a size that says nothing.
    if (!S_ISREG(st.st_mode))
        throw DrawingWorkflow::failure(notReadable);
    if (st.st_size > SourceFile::sizeLimit)
        throw DrawingWorkflow::failure(QStringLiteral("PDFs up to 100 MB are supported."));

    FdCloser file{::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        throw FileSystemError(std::error_code(errno, std::generic_category()));
    // Checked again on the opened file: the path may have been swapped.
    if (::fstat(file.fd, &st) != 0)
        throw FileSystemError(std::error_code(errno, std::generic_category()));
    if (!S_ISREG(st.st_mode))
        throw DrawingWorkflow::failure(notReadable);

    const qint64 cap = SourceFile::sizeLimit + 1;
    QByteArray bytes;
    bytes.resize(qMin<qint64>(qMax<qint64>(st.st_size, 0), SourceFile::sizeLimit) + 1);
    qint64 used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() >= cap)
                break;
            bytes.resize(qMin<qint64>(cap, bytes.size() * 2 + 4096));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + used, size_t(bytes.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileSystemError(std::error_code(errno, std::generic_category()));
        }
        if (n == 0)
            break;
        used += n;
    }
    bytes.truncate(used);
    bytes.squeeze();
    return bytes;
}

} // namespace

SourceFile::Opened SourceFile::open(const QString& path, const WorkCancellation& cancel,
                                    const PhaseProgress& progress)
{
    return open(readBounded(path), cancel, progress);
}

SourceFile::Opened SourceFile::open(QByteArray bytes, const WorkCancellation& cancel, const PhaseProgress& progress)
{
    cancel.check();
    if (bytes.size() > sizeLimit)
        throw DrawingWorkflow::failure(notReadable);
    Opened opened;
    opened.document = PdfDocument::open(bytes);
    if (!opened.document)
        throw DrawingWorkflow::failure(notReadable);
    if (const auto message = DocumentSafety::problem(*opened.document))
        throw DrawingWorkflow::failure(*message);
    // poppler sees the bytes only after admission; a page tree the two
    // libraries read differently is not a file we can work on safely.
    if (!opened.document->loadTextLayer())
        throw DrawingWorkflow::failure(notReadable);

    const auto phase = [&progress](const QString& label) -> Progress {
        if (!progress)
            return {};
        return [progress, label](int done, int total) { progress(label, done, total); };
    };
    opened.groups = DrawingWorkflow::groups(*opened.document, cancel, phase(QStringLiteral("Grouping")));
    opened.noTextPages =
        DrawingWorkflow::pagesWithoutText(*opened.document, cancel, phase(QStringLiteral("Checking text")),
                                          &opened.textLayers);
    opened.bookmarkNames = BookmarkNames::byPage(opened.document->bookmarks());
    cancel.check();
    opened.bytes = std::move(bytes);
    return opened;
}
