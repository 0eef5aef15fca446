#include "Workflow.h"

#include "DocumentSafety.h"
#include "PdfDocument.h"

#include <cmath>
#include <vector>

// Geometry grouping: pages whose boxes and rotation match share one group,
// so the user marks the title block once per layout. Each new page is
// compared only with each group's first page (its representative), in the
// order the groups were founded.

namespace {

// A box side as a whole number of points, truncated toward zero. Real page
// boxes are always finite; anything else shows as 0 rather than a number
// the description cannot hold.
QString wholePoints(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    // Adding 0.0 turns a negative zero into a plain zero.
    return QString::number(std::trunc(value) + 0.0, 'f', 0);
}

// "Group 1 · 12 pages · 2384×1684 pt · 0°" from the representative page.
QString describe(int position, qsizetype pageCount, const PdfPage& representative)
{
    const QRectF crop = representative.cropBox().normalized();
    return QStringLiteral("Group ") + QString::number(position + 1) + QStringLiteral(" \u00B7 ")
        + QString::number(pageCount) + QStringLiteral(" pages \u00B7 ") + wholePoints(crop.width())
        + QStringLiteral("\u00D7") + wholePoints(crop.height()) + QStringLiteral(" pt \u00B7 ")
        + QString::number(representative.rotation()) + QStringLiteral("\u00B0");
}

} // namespace

QList<DrawingGroup> DrawingWorkflow::groups(const PdfDocument& document, const WorkCancellation& cancel,
                                            const Progress& progress)
{
    const int count = document.pageCount();
    QList<QList<int>> members;
    std::vector<PdfPage> representatives;

    for (int i = 0; i < count; ++i) {
        cancel.check();
        const std::optional<PdfPage> page = document.page(i);
        if (!page)
            throw failure(QStringLiteral("Page ") + QString::number(i + 1) + QStringLiteral(" is unreadable."));

        bool joined = false;
        for (std::size_t k = 0; k < representatives.size(); ++k) {
            if (DocumentSafety::layoutMatches(*page, representatives[k])) {
                members[qsizetype(k)].append(i);
                joined = true;
                break;
            }
        }
        if (!joined) {
            members.append(QList<int>{i});
            representatives.push_back(*page);
        }
        if (progress)
            progress(i + 1, count);
    }

    QList<DrawingGroup> result;
    result.reserve(members.size());
    for (qsizetype k = 0; k < members.size(); ++k)
        result.append(DrawingGroup{members[k], describe(int(k), members[k].size(), representatives[std::size_t(k)])});
    return result;
}
