#include "DocumentSafety.h"

#include "PdfDocument.h"

#include <QMap>

#include <algorithm>
#include <array>

namespace {

// Region text of one rectangle: the layer's selection with whitespace
// collapsed, in typed form. A null rectangle (a widened box wholly outside
// the crop box) selects nothing.
QString regionText(const PageText& layer, const QRectF& rect, bool number)
{
    if (rect.isNull())
        return QString();
    return DocumentSafety::typedText(DocumentSafety::collapseWhitespace(layer.text(rect)), number);
}

// The border of `region` nearest to `box` as the page is displayed, and how
// far outside it `box` lies (0 when it does not lie wholly outside).
std::pair<QString, double> sideOf(const QRectF& region, const QRectF& box)
{
    const std::array<std::pair<QString, double>, 4> gaps{{
        {QStringLiteral("top"), region.top() - box.bottom()},
        {QStringLiteral("bottom"), box.top() - region.bottom()},
        {QStringLiteral("left"), region.left() - box.right()},
        {QStringLiteral("right"), box.left() - region.right()},
    }};
    const auto widest = std::max_element(gaps.begin(), gaps.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; });
    if (widest->second >= 0)
        return *widest;
    // Not wholly outside: the border the box reaches furthest past.
    const std::array<std::pair<QString, double>, 4> past{{
        {QStringLiteral("top"), region.top() - box.top()},
        {QStringLiteral("bottom"), box.bottom() - region.bottom()},
        {QStringLiteral("left"), region.left() - box.left()},
        {QStringLiteral("right"), box.right() - region.right()},
    }};
    const auto most = std::max_element(past.begin(), past.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    if (most->second > 0)
        return {most->first, 0};
    // Wholly inside (a word the border splits elsewhere): the nearest border.
    const std::array<std::pair<QString, double>, 4> inside{{
        {QStringLiteral("top"), box.top() - region.top()},
        {QStringLiteral("bottom"), region.bottom() - box.bottom()},
        {QStringLiteral("left"), box.left() - region.left()},
        {QStringLiteral("right"), region.right() - box.right()},
    }};
    const auto nearest = std::min_element(inside.begin(), inside.end(),
                                          [](const auto& a, const auto& b) { return a.second < b.second; });
    return {nearest->first, 0};
}

// At most this many reasons a region: enough to say what is wrong.
constexpr qsizetype maxReasons = 4;

QList<EdgeReason> reasonsFor(const PageText& layer, const QRectF& region, double margin,
                             const DocumentSafety::RegionRole& role)
{
    // Display space, y down; an unknown transform shows the page unrotated.
    const QTransform toDisplay = role.toDisplay.isIdentity() ? QTransform(1, 0, 0, -1, 0, 0) : role.toDisplay;
    const QRectF shownRegion = toDisplay.mapRect(region);
    const QList<PageText::EdgeFinding> findings = layer.edgeFindings(region, margin);
    QList<EdgeReason> reasons;
    // Findings of one kind on one line, next to each other, make one reason.
    for (qsizetype k = 0; k < findings.size() && reasons.size() < maxReasons;) {
        const PageText::EdgeFinding& first = findings[k];
        qsizetype j = k + 1;
        QRectF box = first.box;
        const int line = layer.chars()[first.index].line;
        while (j < findings.size() && findings[j].cut == first.cut &&
               layer.chars()[findings[j].index].line == line) {
            box |= findings[j].box;
            ++j;
        }
        EdgeReason reason;
        reason.kind = first.cut ? EdgeReason::Kind::Cut : EdgeReason::Kind::Nearby;
        reason.region = role.name;
        reason.text = layer.wordsBetween(first.index, findings[j - 1].index);
        const auto [edge, distance] = sideOf(shownRegion, toDisplay.mapRect(box));
        reason.edge = edge;
        reason.distance = distance;
        reason.box = box;
        if (reasons.isEmpty() || !(reasons.back().text == reason.text && reasons.back().kind == reason.kind))
            reasons.append(reason);
        k = j;
    }
    return reasons;
}

} // namespace

QString DocumentSafety::typedText(const QString& text, bool number)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case 0x2010:
        case 0x2011:
            out += QLatin1Char('-');
            break;
        case 0x2012:
        case 0x2212:
            out += number ? QChar(QLatin1Char('-')) : c;
            break;
        case 0x00AD:
            break;
        case 0xFB00:
            out += QLatin1String("ff");
            break;
        case 0xFB01:
            out += QLatin1String("fi");
            break;
        case 0xFB02:
            out += QLatin1String("fl");
            break;
        case 0xFB03:
            out += QLatin1String("ffi");
            break;
        case 0xFB04:
            out += QLatin1String("ffl");
            break;
        case 0xFB05:
        case 0xFB06:
            out += QLatin1String("st");
            break;
        default:
            out += c;
        }
    }
    return out;
}

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

DocumentSafety::RegionText DocumentSafety::read(const PageText& layer, const QRectF& cropBox, const Region& box,
                                                const RegionRole& role)
{
    // The edge margin: text within 2 pt outside the region's border is
    // looked at to tell whether the region cuts through or misses text.
    constexpr double edgeMargin = 2.0;
    // Comparing the exact and widened selections sees a cut only where a
    // character's centre falls in the 2 pt band, which large title-block
    // text mostly leaves empty; the glyphs' ink (or, without it, the
    // characters' cells) shows every cut glyph, cut line and near
    // neighbour as well.
    const QRectF region = box.normalized();
    const QString exact = regionText(layer, region, role.number);
    const QRectF widened =
        region.adjusted(-edgeMargin, -edgeMargin, edgeMargin, edgeMargin).intersected(cropBox.normalized());
    const QString wide = regionText(layer, widened, role.number);
    RegionText result;
    result.text = exact.isEmpty() ? wide : exact;
    result.reasons = reasonsFor(layer, region, edgeMargin, role);
    if (result.text.isEmpty()) {
        EdgeReason empty;
        empty.kind = EdgeReason::Kind::Empty;
        empty.region = role.name;
        result.reasons.prepend(empty);
    } else if (wide != exact && result.reasons.isEmpty()) {
        EdgeReason nearby;
        nearby.region = role.name;
        nearby.text = wide;
        result.reasons.append(nearby);
    }
    result.warning = !result.reasons.isEmpty();
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
    if (edge.isEmpty())
        return QStringLiteral("%1: text lies within 2 pt outside its border").arg(region);
    static const QMap<QString, QString> side{{QStringLiteral("top"), QStringLiteral("above")},
                                             {QStringLiteral("bottom"), QStringLiteral("below")},
                                             {QStringLiteral("left"), QStringLiteral("left of")},
                                             {QStringLiteral("right"), QStringLiteral("right of")}};
    return QStringLiteral("%1: %2 lies %3 pt %4 the %5 edge")
        .arg(region, quotedText, QString::number(std::max(0.0, distance), 'f', 1), side.value(edge), edge);
}
