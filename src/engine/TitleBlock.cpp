#include "TitleBlock.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace TitleBlock {

namespace {

using SuggestionText::Label;

double overlap(double a0, double a1, double b0, double b1)
{
    return std::min(a1, b1) - std::max(a0, b0);
}

// A run of dark pixels in one row (or column) of the image.
struct Segment
{
    int line = 0; // row or column
    int from = 0;
    int to = 0; // one past the last pixel
};

// Anti-aliased hairlines render grey; ink darker than this counts.
constexpr int darkest = 160;
// Thicker than this is a filled area, not a ruled line.
constexpr double thickest = 4.0;

// Long dark runs along rows of `g` (or along columns when `columns`),
// joined across neighbouring rows into one line each.
QList<Rule> linesOf(const QImage& g, bool columns, double pxPerPt, double crossPxPerPt, double shortest,
                    const QRectF& area)
{
    const int lines = columns ? g.width() : g.height();
    const int length = columns ? g.height() : g.width();
    const int minimum = std::max(3, int(std::ceil(shortest * pxPerPt)));
    QList<Segment> segments;
    for (int l = 0; l < lines; ++l) {
        int start = -1;
        for (int i = 0; i <= length; ++i) {
            bool dark = false;
            if (i < length) {
                const int x = columns ? l : i;
                const int y = columns ? i : l;
                dark = g.constScanLine(y)[x] < darkest;
            }
            if (dark && start < 0)
                start = i;
            if (!dark && start >= 0) {
                if (i - start >= minimum)
                    segments.append({l, start, i});
                start = -1;
            }
        }
    }
    // Join segments of neighbouring lines that lie along each other.
    struct Band
    {
        int first, last, from, to;
    };
    QList<Band> bands;
    QList<int> active; // bands that reached the previous or the current line
    for (const Segment& s : std::as_const(segments)) {
        active.removeIf([&](int b) { return bands[b].last + 1 < s.line; });
        int joined = -1;
        for (const int b : std::as_const(active)) {
            const Band& band = bands[b];
            if (band.last < s.line &&
                overlap(band.from, band.to, s.from, s.to) >= 0.5 * std::min(band.to - band.from, s.to - s.from)) {
                joined = b;
                break;
            }
        }
        if (joined >= 0) {
            Band& band = bands[joined];
            band.last = s.line;
            band.from = std::min(band.from, s.from);
            band.to = std::max(band.to, s.to);
        } else {
            bands.append({s.line, s.line, s.from, s.to});
            active.append(int(bands.size() - 1));
        }
    }
    QList<Rule> rules;
    for (const Band& b : std::as_const(bands)) {
        if ((b.last - b.first + 1) / crossPxPerPt > thickest)
            continue;
        Rule r;
        r.horizontal = !columns;
        const double middle = (b.first + b.last + 1) / 2.0 / crossPxPerPt;
        r.at = (columns ? area.left() : area.top()) + middle;
        const double origin = columns ? area.top() : area.left();
        r.from = origin + b.from / pxPerPt;
        r.to = origin + b.to / pxPerPt;
        rules.append(r);
    }
    return rules;
}

} // namespace

bool Rules::separates(const QRectF& a, const QRectF& b) const
{
    for (const Rule& r : m_rules) {
        if (r.horizontal) {
            const double lo = std::min(a.center().y(), b.center().y());
            const double hi = std::max(a.center().y(), b.center().y());
            if (r.at > lo && r.at < hi &&
                overlap(r.from, r.to, a.left(), a.right()) >= std::min(0.5 * a.width(), 10.0) &&
                overlap(r.from, r.to, b.left(), b.right()) >= std::min(0.5 * b.width(), 10.0))
                return true;
        } else {
            const double lo = std::min(a.center().x(), b.center().x());
            const double hi = std::max(a.center().x(), b.center().x());
            if (r.at > lo && r.at < hi &&
                overlap(r.from, r.to, a.top(), a.bottom()) >= std::min(0.5 * a.height(), 10.0) &&
                overlap(r.from, r.to, b.top(), b.bottom()) >= std::min(0.5 * b.height(), 10.0))
                return true;
        }
    }
    return false;
}

bool Rules::crosses(const QRectF& box, double inset) const
{
    const QRectF in = box.adjusted(inset, inset, -inset, -inset);
    if (in.isEmpty())
        return false;
    for (const Rule& r : m_rules) {
        if (r.horizontal && r.at > in.top() && r.at < in.bottom() &&
            overlap(r.from, r.to, in.left(), in.right()) > 0)
            return true;
        if (!r.horizontal && r.at > in.left() && r.at < in.right() &&
            overlap(r.from, r.to, in.top(), in.bottom()) > 0)
            return true;
    }
    return false;
}

Rules::Cell Rules::cellAround(const QRectF& box, double reach) const
{
    // Rules drawn tight to the text may touch its box.
    constexpr double touch = 1.0;
    Cell cell;
    for (const Rule& r : m_rules) {
        if (r.horizontal) {
            if (overlap(r.from, r.to, box.left(), box.right()) < 0.5 * box.width())
                continue;
            if (r.at <= box.top() + touch && r.at >= box.top() - reach && (!cell.top || r.at > *cell.top))
                cell.top = r.at;
            if (r.at >= box.bottom() - touch && r.at <= box.bottom() + reach &&
                (!cell.bottom || r.at < *cell.bottom))
                cell.bottom = r.at;
        } else {
            if (overlap(r.from, r.to, box.top(), box.bottom()) < 0.5 * box.height())
                continue;
            if (r.at <= box.left() + touch && r.at >= box.left() - reach && (!cell.left || r.at > *cell.left))
                cell.left = r.at;
            if (r.at >= box.right() - touch && r.at <= box.right() + reach &&
                (!cell.right || r.at < *cell.right))
                cell.right = r.at;
        }
    }
    return cell;
}

Rules rulesFrom(const QImage& image, const QRectF& area, double shortest)
{
    if (image.isNull() || area.width() <= 0 || area.height() <= 0)
        return Rules({}, area);
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    const double sx = g.width() / area.width();
    const double sy = g.height() / area.height();
    QList<Rule> rules = linesOf(g, false, sx, sy, shortest, area);
    rules += linesOf(g, true, sy, sx, shortest, area);
    return Rules(std::move(rules), area);
}

QList<QSet<int>> furniture(const QList<SuggestionText::Page>& pages)
{
    QList<QSet<int>> result(pages.size());
    if (pages.size() < 2)
        return result;
    struct Seen
    {
        int page;
        int run;
    };
    QHash<QString, QList<Seen>> byText;
    for (int p = 0; p < pages.size(); ++p) {
        for (int r = 0; r < pages[p].runs.size(); ++r)
            byText[pages[p].runs[r].words.join(QLatin1Char(' '))].append({p, r});
    }
    for (auto it = byText.cbegin(); it != byText.cend(); ++it) {
        const QList<Seen>& seen = it.value();
        if (seen.size() < pages.size())
            continue;
        for (const Seen& s : seen) {
            const SuggestionText::Run& run = pages[s.page].runs[s.run];
            const double tolerance = std::max(1.0, 0.3 * run.height);
            QSet<int> pagesAlike;
            for (const Seen& o : seen) {
                const QRectF& d = pages[o.page].runs[o.run].display;
                if (std::abs(d.left() - run.display.left()) <= tolerance &&
                    std::abs(d.top() - run.display.top()) <= tolerance)
                    pagesAlike.insert(o.page);
            }
            if (pagesAlike.size() == pages.size())
                result[s.page].insert(s.run);
        }
    }
    return result;
}

Label captionOf(const SuggestionText::Page& page, const QRectF& box, double height, Label inlineLabel,
                const Rules& rules)
{
    if (inlineLabel != Label::None)
        return inlineLabel;
    Label best = Label::None;
    double bestDistance = 0;
    for (const SuggestionText::Run& run : page.runs) {
        if (!run.isLabel())
            continue;
        const QRectF& l = run.display;
        const double big = std::max(height, run.height);
        const bool across = overlap(l.left(), l.right(), box.left() - height, box.right() + height) > 0;
        std::optional<double> distance;
        if (across && l.bottom() <= box.top() + 0.25 * height && box.top() - l.bottom() <= 2.5 * big)
            distance = box.top() - l.bottom();
        else if (std::abs(l.center().y() - (box.top() + height / 2)) <= 0.6 * big &&
                 l.right() <= box.left() + 0.25 * height && box.left() - l.right() <= 10 * big)
            distance = box.left() - l.right();
        else if (across && l.top() >= box.bottom() - 0.25 * height && l.top() - box.bottom() <= 1.5 * big)
            distance = l.top() - box.bottom() + 2 * big;
        if (distance && rules.separates(l, box))
            distance.reset();
        if (distance && (best == Label::None || *distance < bestDistance)) {
            best = run.leadLabel;
            bestDistance = *distance;
        }
    }
    return best;
}

} // namespace TitleBlock
