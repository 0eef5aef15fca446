#include "DocumentSafety.h"

#include "ExportFiles.h"
#include "PdfDocument.h"

#include <QSaveFile>
#include <QUuid>

#include <cerrno>
#include <climits>

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

// Steps 4 to 8 of the export: every sheet, then the register, into the
// existing `folder`.
void writeFolder(const QList<ReviewRow>& rows, const PdfDocument& document,
                 const std::filesystem::path& folder, const WorkCancellation& cancel,
                 const Progress& progress, const ExportHooks& hooks)
{
    QString registerText = DocumentSafety::registerHeader();
    const int total = static_cast<int>(rows.size());
    for (int i = 0; i < total; ++i) {
        cancel.check();
        const ReviewRow& row = rows.at(i);
        const int page = pageNumber(row);
        if (!document.page(page - 1))
            throw PlanfolioError(2, copyFailed());
        // Only one single-page copy exists at a time; it goes out of scope
        // before the next sheet.
        const std::optional<QByteArray> copy = document.singlePagePdf(page - 1);
        if (!copy)
            throw PlanfolioError(2, copyFailed());

        const QString number = row.value(QStringLiteral("number")).toString();
        const QString title = row.value(QStringLiteral("title")).toString();
        const QString filename = DocumentSafety::sheetFilename(number, title);
        const std::filesystem::path target =
            hooks.sheetPath ? hooks.sheetPath(folder, filename) : folder / ExportFiles::toPath(filename);
        // Nothing may be written outside the export folder, whatever the
        // name holds.
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

        registerText += DocumentSafety::registerLine(page, number, title, filename);
        if (progress)
            progress(i + 1, total);
    }

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
    const std::filesystem::path folder =
        base / ExportFiles::toPath(QStringLiteral("Planfolio-") +
                                   QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    // create_directory never creates missing parents; an existing folder
    // is never reused.
    if (!std::filesystem::create_directory(folder, ec)) {
        throw FileSystemError(ec ? ec : std::make_error_code(std::errc::file_exists));
    }

    try {
        writeFolder(rows, document, folder, cancel, progress, hooks);
    } catch (...) {
        std::error_code removal;
        if (hooks.removeFolder)
            removal = hooks.removeFolder(folder);
        else
            std::filesystem::remove_all(folder, removal);
        if (removal)
            throw PlanfolioError(
                4, QStringLiteral("Export failed and incomplete files could not be removed at ") +
                       ExportFiles::fromPath(folder) + QStringLiteral(": ") +
                       QString::fromStdString(removal.message()));
        throw; // the first error, unchanged: a cancellation stays one
    }
    return folder;
}
