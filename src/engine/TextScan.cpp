#include "Workflow.h"

#include "PageParallel.h"
#include "PdfDocument.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

QString unreadable(int index)
{
    return QStringLiteral("Page %1 is unreadable.").arg(index + 1);
}

// True when nothing is left after trimming whitespace and line breaks from
// both ends. QChar::isSpace is exactly the trimmed set: the space
// separators (Zs), tab, line feed, vertical tab, form feed, carriage
// return, next line (U+0085) and the line and paragraph separators.
bool blank(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace

namespace {

std::atomic<qint64> layerLimit{256LL * 1024 * 1024};

} // namespace

qint64 DrawingWorkflow::keptLayerLimit()
{
    return layerLimit.load();
}

void DrawingWorkflow::setKeptLayerLimit(qint64 bytes)
{
    layerLimit.store(bytes);
}

QSet<int> DrawingWorkflow::pagesWithoutText(const PdfDocument& document, const WorkCancellation& cancel,
                                            const Progress& progress, KeptTextLayers* kept)
{
    const int count = document.pageCount();
    std::vector<char> empty(static_cast<size_t>(std::max(count, 0)), 0);
    // One slot per page, written by whichever thread takes the page; the
    // running total decides, page by page as they finish, what still fits.
    std::vector<QByteArray> layers(kept ? static_cast<size_t>(std::max(count, 0)) : 0);
    std::atomic<qint64> keptBytes{0};
    const qint64 limit = keptLayerLimit();
    PageParallel::run(document, count, cancel, progress, [&](int index, const PdfDocument& own) {
        const std::optional<PdfPage> page = own.page(index);
        if (!page)
            throw failure(unreadable(index));
        const PageText layer = page->textLayer([&cancel] { return cancel.isCancelled(); });
        // A layer the text library could not take is not an empty one: the
        // page is unreadable, never a page "without text".
        if (layer.aborted() || layer.failed()) {
            cancel.check();
            throw failure(unreadable(index));
        }
        empty[static_cast<size_t>(index)] = blank(layer.allText()) ? 1 : 0;
        if (kept) {
            QByteArray encoded = layer.toBytes();
            if (keptBytes.fetch_add(encoded.size()) + encoded.size() <= limit)
                layers[static_cast<size_t>(index)] = std::move(encoded);
            else
                keptBytes.fetch_sub(encoded.size());
        }
    });
    cancel.check();
    if (kept)
        *kept = KeptTextLayers(layers.begin(), layers.end());

    QSet<int> result;
    for (int index = 0; index < count; ++index) {
        if (empty[static_cast<size_t>(index)])
            result.insert(index);
    }
    return result;
}
