#include "Workflow.h"

#include "PageParallel.h"
#include "PdfDocument.h"

#include <algorithm>
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

QSet<int> DrawingWorkflow::pagesWithoutText(const PdfDocument& document, const WorkCancellation& cancel,
                                            const Progress& progress)
{
    const int count = document.pageCount();
    std::vector<char> empty(static_cast<size_t>(std::max(count, 0)), 0);
    PageParallel::run(document, count, cancel, progress, [&](int index, const PdfDocument& own) {
        const std::optional<PdfPage> page = own.page(index);
        if (!page)
            throw failure(unreadable(index));
        const PageText layer = page->textLayer([&cancel] { return cancel.isCancelled(); });
        if (layer.aborted()) {
            cancel.check();
            throw failure(unreadable(index));
        }
        empty[static_cast<size_t>(index)] = blank(layer.allText()) ? 1 : 0;
    });
    cancel.check();

    QSet<int> result;
    for (int index = 0; index < count; ++index) {
        if (empty[static_cast<size_t>(index)])
            result.insert(index);
    }
    return result;
}
