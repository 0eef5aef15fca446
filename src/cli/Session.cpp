#include "Session.h"

#include "CliFailure.h"
#include "DocumentSafety.h"
#include "PdfDocument.h"

#include <utility>

namespace {

// Runs `work`, turning the engine's errors into the window's texts: its
// failure prefix plus the message, or the cancellation text.
template <typename Work> auto guarded(const QString& failurePrefix, const QString& cancelledText, Work&& work)
{
    try {
        return std::forward<Work>(work)();
    } catch (const CancellationError&) {
        throw CliFailure(CliFailure::Cancelled, cancelledText);
    } catch (const TaskError& error) {
        throw CliFailure::refused(failurePrefix + error.message());
    }
}

} // namespace

Progress Session::progressFor(const QString& label)
{
    return [this, label](int done, int total) { m_progress.show(label, done, total); };
}

SourceFile::Opened Session::admit(const QString& path)
{
    return guarded(QStringLiteral("Open failed: "), QStringLiteral("Open cancelled."), [&] {
        return SourceFile::open(path, m_token, [this](const QString& label, int done, int total) {
            m_progress.show(label, done, total);
        });
    });
}

QList<PageRead> Session::read(const QByteArray& bytes, const QList<int>& pages,
                              const QMap<int, PageRegions>& regions, const KeptTextLayers& kept)
{
    return guarded(QStringLiteral("Read failed: "), QStringLiteral("Read cancelled."), [&] {
        return DrawingWorkflow::read(bytes, pages, regions, m_token, progressFor(QStringLiteral("Reading")),
                                     kept);
    });
}

RegionSuggestion::SetSuggestion Session::suggestSet(const QByteArray& bytes, const QList<QList<int>>& groupPages,
                                                   const KeptTextLayers& kept)
{
    return guarded(QStringLiteral("Suggestion failed: "), QStringLiteral("Suggestion cancelled."), [&] {
        return RegionSuggestion::suggestSet(bytes, groupPages, m_token, progressFor(QStringLiteral("Suggesting")),
                                            kept);
    });
}

std::filesystem::path Session::exportRows(const QByteArray& bytes, const QList<ReviewRow>& rows,
                                          const std::filesystem::path& parent)
{
    return guarded(QStringLiteral("Export failed: "),
                   QStringLiteral("Export cancelled; incomplete output removed."), [&] {
                       m_token.check();
                       // The export reads a document of its own, as the window's does.
                       const std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes);
                       if (!document)
                           throw DrawingWorkflow::failure(
                               QStringLiteral("Source PDF could not be reopened."));
                       const std::filesystem::path folder = DocumentSafety::exportSheets(
                           rows, *document, parent, m_token, progressFor(QStringLiteral("Exporting")));
                       std::error_code ec;
                       const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
                       return ec ? folder : absolute;
                   });
}
