#include "DocumentSafety.h"

#include "PdfDocument.h"

#include <QMap>

#include <algorithm>

namespace {

// Region text of one rectangle: the layer's selection with whitespace
// collapsed. A null rectangle (a widened box wholly outside the crop box)
// selects nothing.
QString regionText(const PageText& layer, const QRectF& rect)
{
    if (rect.isNull())
        return QString();
    return DocumentSafety::collapseWhitespace(layer.text(rect));
}

} // namespace

QString DocumentSafety::collapseWhitespace(const QString& text)
{
    // QChar::isSpace is exactly the Unicode White_Space set (categories Zs,
    // Zl, Zp, tab to carriage return and U+0085), all in the BMP, so testing
    // UTF-16 units one by one never splits a surrogate pair.
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (pendingSpace)
            out.append(QLatin1Char(' '));
        pendingSpace = false;
        out.append(c);
    }
    return out;
}

DocumentSafety::RegionText DocumentSafety::read(const PageText& layer, const QRectF& cropBox,
                                                const Region& box)
{
    // The edge margin: text within 2 pt outside the region's border is
    // looked at to tell whether the region cuts through or misses text.
    constexpr double edgeMargin = 2.0;
    // Comparing the exact and widened selections sees a cut only where a
    // character's centre falls in the 2 pt band, which large title-block
    // text mostly leaves empty; the layer's character cells show every cut
    // glyph, cut line and near neighbour as well.
    const QRectF region = box.normalized();
    const QString exact = regionText(layer, region);
    const QRectF widened =
        region.adjusted(-edgeMargin, -edgeMargin, edgeMargin, edgeMargin).intersected(cropBox.normalized());
    const QString wide = regionText(layer, widened);
    RegionText result;
    result.text = exact.isEmpty() ? wide : exact;
    result.warning = result.text.isEmpty() || wide != exact || layer.textAtEdges(region, edgeMargin);
    return result;
}

QString EdgeReason::sentence() const
{
    const QString quotedText = QStringLiteral("\u2018%1\u2019").arg(text);
    switch (kind) {
    case Kind::Empty:
        return QStringLiteral("%1: no text inside").arg(region);
    case Kind::Cut:
        return QStringLiteral("%1: the %2 edge cuts %3").arg(region, edge, quotedText);
    case Kind::Nearby:
        break;
    }
    static const QMap<QString, QString> side{{QStringLiteral("top"), QStringLiteral("above")},
                                             {QStringLiteral("bottom"), QStringLiteral("below")},
                                             {QStringLiteral("left"), QStringLiteral("left of")},
                                             {QStringLiteral("right"), QStringLiteral("right of")}};
    return QStringLiteral("%1: %2 lies %3 pt %4 the %5 edge")
        .arg(region, quotedText, QString::number(std::max(0.0, distance), 'f', 1), side.value(edge), edge);
}
