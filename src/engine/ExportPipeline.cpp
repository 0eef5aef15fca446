#include "DocumentSafety.h"

#include "ExportFiles.h"
#include "PageParallel.h"
#include "PdfDocument.h"

#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <thread>
#include <vector>

namespace {

QString copyFailed()
{
    return QStringLiteral("A source page could not be copied.");
}

QString writeFailed()
{
    return QStringLiteral("An output PDF could not be written or verified.");
}

// The row's "page" as a one-based page number: an integer value of at
// least 1. Text, doubles and anything else are refused, as is a number too
// large to name a page.
int pageNumber(const ReviewRow& row)
{
    const auto found = row.constFind(QStringLiteral("page"));
    if (found == row.cend())
        throw PlanfolioError(2, copyFailed());
    const int type = found->typeId();
    if (type != QMetaType::Int && type != QMetaType::LongLong)
        throw PlanfolioError(2, copyFailed());
    const qlonglong page = found->toLongLong();
    if (page < 1 || page > INT_MAX)
        throw PlanfolioError(2, copyFailed());
    return static_cast<int>(page);
}

// Writes "register.csv" in one step (temporary file, then renamed into
// place). The system's error of the failing call is kept; Qt reports
// failures through errno of the call that failed.
void writeRegister(const std::filesystem::path& folder, const QString& text)
{
    QSaveFile file(ExportFiles::fromPath(folder / "register.csv"));
    const QByteArray bytes = text.toUtf8(); // UTF-8, no byte-order mark
    errno = 0;
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!written) {
        const int error = errno != 0 ? errno : EIO;
        file.cancelWriting();
        throw FileSystemError(std::error_code(error, std::generic_category()));
    }
}

// One sheet: copy page `row`'s source page from `document`, write it into
// `folder` and verify it by opening the written file again. Returns the
// sheet's register line. Runs on any of the export's threads, each with a
// document of its own; the only single-page document it makes is released
// before it returns.
QString writeSheet(int i, const ReviewRow& row, const PdfDocument& document,
                   const std::filesystem::path& folder, const ExportHooks& hooks)
{
    const int page = pageNumber(row);
    if (!document.page(page - 1))
        throw PlanfolioError(2, copyFailed());
    const std::optional<QByteArray> copy = document.singlePagePdf(page - 1);
    if (!copy)
        throw PlanfolioError(2, copyFailed());

    const QString number = row.value(QStringLiteral("number")).toString();
    const QString title = row.value(QStringLiteral("title")).toString();
    const QString filename = DocumentSafety::sheetFilename(number, title);
    const std::filesystem::path target =
        hooks.sheetPath ? hooks.sheetPath(folder, filename) : folder / ExportFiles::toPath(filename);
    // Nothing may be written outside the export folder, whatever the name
    // holds.
    if (!ExportFiles::isDirectChild(folder, target))
        throw PlanfolioError(3, writeFailed());

    if (hooks.beforeWrite)
        hooks.beforeWrite(folder, i);
    const bool failWrite = hooks.failWrite && hooks.failWrite(i);
    if (ExportFiles::writeNew(folder, target, *copy, failWrite))
        throw PlanfolioError(3, writeFailed());
    const std::unique_ptr<PdfDocument> written = PdfDocument::openFile(ExportFiles::fromPath(target));
    if (!written || written->pageCount() != 1)
        throw PlanfolioError(3, writeFailed());
    return DocumentSafety::registerLine(page, number, title, filename);
}

// Steps 4 to 8 of the export: every sheet, then the register, into the
// existing (still hidden) `folder`. Sheets are spread over `threads`
// threads; what is written does not depend on how many.
void writeFolder(const QList<ReviewRow>& rows, const PdfDocument& document,
                 const std::filesystem::path& folder, const WorkCancellation& cancel,
                 const Progress& progress, const ExportHooks& hooks, int threads)
{
    const int total = static_cast<int>(rows.size());
    // One register line per row, each written by the thread that wrote
    // its sheet, joined in row order once every sheet is verified.
    std::vector<QString> lines(static_cast<size_t>(total));
    const auto work = [&](int i, const PdfDocument& own) {
        lines[static_cast<size_t>(i)] = writeSheet(i, rows.at(i), own, folder, hooks);
        // A sheet finished after a stop is not counted.
        cancel.check();
    };
    // Progress calls come one at a time (PageParallel holds its lock), so
    // once the token is cancelled no later count is reported: progress
    // never runs past the point where the user stopped.
    const Progress counted = [&](int done, int count) {
        if (progress && !cancel.isCancelled())
            progress(done, count);
    };
    // The lowest failing row's error comes back, as a serial loop would
    // have met it; rows already in flight elsewhere are discarded with the
    // folder.
    PageParallel::run(document, total, cancel, counted, work, threads);

    QString registerText = DocumentSafety::registerHeader();
    for (const QString& line : lines)
        registerText += line;
    cancel.check();
    if (hooks.beforeWrite)
        hooks.beforeWrite(folder, total);
    writeRegister(folder, registerText);
    if (const std::error_code ec = ExportFiles::syncDirectory(folder))
        throw FileSystemError(ec);
    cancel.check();
}

} // namespace

std::filesystem::path DocumentSafety::exportSheets(const QList<ReviewRow>& rows, const PdfDocument& document,
                                                   const std::filesystem::path& parent,
                                                   const WorkCancellation& cancel, const Progress& progress)
{
    return exportSheetsWithHooks(rows, document, parent, cancel, progress, ExportHooks());
}

int DocumentSafety::exportThreads()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
}

std::filesystem::path
DocumentSafety::exportSheetsWithHooks(const QList<ReviewRow>& rows, const PdfDocument& document,
                                      const std::filesystem::path& parent, const WorkCancellation& cancel,
                                      const Progress& progress, const ExportHooks& hooks)
{
    cancel.check();
    if (const std::optional<QString> problem = filenameProblem(rows))
        throw PlanfolioError(1, *problem);

    // An absolute location, so that the returned path and any message
    // naming the folder stay meaningful whatever the working directory.
    std::error_code ec;
    const std::filesystem::path base = parent.is_absolute() ? parent : std::filesystem::absolute(parent, ec);
    if (ec)
        throw FileSystemError(ec);
    // The sheets are written into a hidden staging folder beside the final
    // one, which takes its name only once it is complete: whenever the
    // process dies, a folder named like an export holds a whole export.
    const QString name =
        QStringLiteral("Planfolio-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const std::filesystem::path folder = base / ExportFiles::toPath(name);
    const std::filesystem::path staging =
        base / ExportFiles::toPath(QLatin1Char('.') + name + QStringLiteral(".partial"));
    // create_directory never creates missing parents; an existing folder
    // is never reused.
    if (!std::filesystem::create_directory(staging, ec)) {
        throw FileSystemError(ec ? ec : std::make_error_code(std::errc::file_exists));
    }

    // What a failure has to remove: the staging folder, or the final one
    // if the failure comes after it was renamed.
    std::filesystem::path written = staging;
    try {
        writeFolder(rows, document, staging, cancel, progress, hooks,
                    hooks.threads > 0 ? hooks.threads : exportThreads());
        // The last step: the complete folder takes its final name, never
        // replacing anything, and the parent's entry is synced.
        if (const std::error_code moved = ExportFiles::moveNoReplace(staging, folder))
            throw FileSystemError(moved);
        written = folder;
        if (const std::error_code synced = ExportFiles::syncDirectory(base)) {
            // Not known to be on disk: hide it again before removing it.
            if (!ExportFiles::moveNoReplace(folder, staging))
                written = staging;
            throw FileSystemError(synced);
        }
    } catch (...) {
        std::error_code removal;
        if (hooks.removeFolder)
            removal = hooks.removeFolder(written);
        else
            std::filesystem::remove_all(written, removal);
        if (removal)
            throw PlanfolioError(
                4, QStringLiteral("Export failed and incomplete files could not be removed at ") +
                       ExportFiles::fromPath(written) + QStringLiteral(": ") +
                       QString::fromStdString(removal.message()));
        throw; // the first error, unchanged: a cancellation stays one
    }
    return folder;
}
