#include "PdfDocument.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

// The selection below reproduces, in memory, what poppler's Page::text(rect)
// does after interpreting the page: take from each line the run of
// characters inside the rectangle, order the runs as the text reads, give
// each run a column, and lay them out with spaces and line breaks. Working
// on the text layer instead costs microseconds per rectangle rather than a
// full interpretation of the page.
//
// Coordinates here are user space projected on two axes of the line's text:
// "along" (the way the text runs) and "across" (from one line of reading to
// the next). Both are unit axis vectors, so a rectangle projects onto an
// interval on each.

namespace {

// Runs whose baselines differ by less than this fraction of the text size
// belong to one line of reading (poppler's intra-line tolerance).
constexpr double kSameLineFraction = 0.5;
// Where the baseline sits in a character cell, from its top: the text layer
// gives cells, not baselines; this is a typical Latin font's ascent over its
// ascent plus descent.
constexpr double kBaselineFraction = 0.75;
// A gap between two characters of a line counts as a space when it exceeds
// the line's usual gap by this fraction of the cell height: about 0.2 em,
// less than the space of any common text face (0.23 to 0.28 em, and a cell
// is 0.9 to 1.2 em tall), more than kerning or rounding leave.
constexpr double kSpaceFraction = 0.2;
// Two characters stand on one baseline when their cells' middles across
// the line differ by less than this fraction of the cell height. Text drawn
// at a slant gives each glyph its own upright cell, stepped across the line;
// the gaps between such cells say nothing about spaces.
constexpr double kSameBaselineFraction = 0.15;
// The usual gap of a line is its median gap, taken once the line has this
// many: with fewer, evenly spaced one-character words ("A - A") cannot be
// told from a letter-spaced word, and the space wins.
constexpr qsizetype kMinGapsForUsual = 4;
// A cell's outer part on each side, as a fraction of its width and height,
// that a border may cross without cutting the glyph of a character the
// selection takes: cells run from the font's ascent to its descent and over
// the whole advance, so side bearings, the descender zone and the space
// above capitals lie in them. Only the middle half counts: Helvetica's "1"
// ends its ink at 65 % of its advance, most faces' baselines sit at 75 to
// 82 % of the cell from its top and their capitals start in its top 20 %.
constexpr double kCellMargin = 0.25;

double along(const QPointF& p, const QPointF& d)
{
    return p.x() * d.x() + p.y() * d.y();
}

// The text direction turned a quarter clockwise as seen on the page (user
// space has y up): the way to the next line.
QPointF acrossAxis(const QPointF& d)
{
    return QPointF(d.y(), -d.x());
}

std::pair<double, double> projection(const QRectF& r, const QPointF& d)
{
    const double a = along(r.topLeft(), d);
    const double b = along(r.bottomRight(), d);
    return {std::min(a, b), std::max(a, b)};
}

// Whether the open intervals (a0, a1) and (b0, b1) share a point.
bool overlaps(double a0, double a1, double b0, double b1)
{
    return a0 < b1 && b0 < a1;
}

// A unit axis vector for the way from `a` to `b`; null when they coincide.
QPointF axisDirection(const QPointF& a, const QPointF& b)
{
    const QPointF v = b - a;
    if (std::abs(v.x()) < 1e-9 && std::abs(v.y()) < 1e-9)
        return QPointF();
    if (std::abs(v.x()) >= std::abs(v.y()))
        return QPointF(v.x() > 0 ? 1 : -1, 0);
    return QPointF(0, v.y() > 0 ? 1 : -1);
}

int directionSlot(const QPointF& d)
{
    if (d.x() > 0)
        return 0;
    if (d.y() < 0)
        return 1;
    if (d.x() < 0)
        return 2;
    return 3;
}

// One column of a line's text: a character (two QChars outside the basic
// plane) or the space between two words. Positions are along the line's own
// direction; `point` is the user-space centre.
struct Cell
{
    QChar ch;
    QChar low;            // second half of a surrogate pair, else null
    qsizetype index = -1; // the character in the layer; -1 for a space
    double lo = 0, hi = 0, centre = 0;
    QPointF point;
};

// A run of one line's cells selected by a rectangle, placed in the reading
// frame.
struct Run
{
    qsizetype cells = 0; // which line's cells
    qsizetype start = 0;
    qsizetype len = 0;
    double xMin = 0, xMax = 0, yMin = 0, base = 0, size = 0;
    int col = 0;
};

} // namespace

PageText::PageText(QList<Char> chars, QList<Word> words)
    : m_chars(std::move(chars)), m_words(std::move(words))
{
    for (qsizetype i = 0; i < m_chars.size(); ++i) {
        if (m_lines.isEmpty() || m_chars[i].line != m_chars[m_lines.back().last].line) {
            Line line;
            line.first = i;
            m_lines.append(line);
        }
        m_lines.back().last = i;
    }
    m_lineOf.resize(m_chars.size());
    for (qsizetype l = 0; l < m_lines.size(); ++l) {
        for (qsizetype i = m_lines[l].first; i <= m_lines[l].last; ++i)
            m_lineOf[i] = l;
    }
    // A line's direction comes from its first and last characters; a line
    // of one character takes the direction most of the page's text runs in.
    std::array<qsizetype, 4> counts{};
    for (Line& line : m_lines) {
        line.direction = axisDirection(m_chars[line.first].centre, m_chars[line.last].centre);
        if (!line.direction.isNull())
            counts[size_t(directionSlot(line.direction))] += line.last - line.first + 1;
    }
    const std::array<QPointF, 4> axes{QPointF(1, 0), QPointF(0, -1), QPointF(-1, 0), QPointF(0, 1)};
    m_primary = axes[size_t(std::max_element(counts.begin(), counts.end()) - counts.begin())];
    for (Line& line : m_lines) {
        if (line.direction.isNull())
            line.direction = m_primary;
        const QPointF across = acrossAxis(line.direction);
        line.top = INFINITY;
        line.bottom = -INFINITY;
        for (qsizetype i = line.first; i <= line.last; ++i) {
            const auto [lo, hi] = projection(m_chars[i].box, across);
            line.top = std::min(line.top, lo);
            line.bottom = std::max(line.bottom, hi);
            line.bounds |= m_chars[i].box.normalized();
        }
    }
    findSpaces();
}

void PageText::findSpaces()
{
    // poppler takes a line made only of one-character words for
    // letter-spaced text and joins them ("A - A" reads "A-A"), and its own
    // spaces are kept; besides them, a gap a space wide more than the
    // line's usual gap is a space, so letter-spaced words ("G R O U N D",
    // every gap alike) stay whole.
    m_spaceAfter = QList<bool>(m_chars.size(), false);
    QList<double> gaps;
    for (const Line& line : m_lines) {
        const QPointF d = line.direction;
        const QPointF across = acrossAxis(d);
        // The gap after character i; a low surrogate shares its high
        // half's cell, so nothing lies between the two.
        const auto gapAfter = [&](qsizetype i) {
            return projection(m_chars[i + 1].box, d).first - projection(m_chars[i].box, d).second;
        };
        const auto joinsNext = [&](qsizetype i) {
            return i < line.last && !m_chars[i + 1].ch.isLowSurrogate();
        };
        gaps.clear();
        for (qsizetype i = line.first; i < line.last; ++i) {
            if (joinsNext(i))
                gaps.append(gapAfter(i));
        }
        double usual = 0;
        if (gaps.size() >= kMinGapsForUsual) {
            // The lower median, so that a line of short words still takes
            // a gap inside a word.
            const auto middle = gaps.begin() + (gaps.size() - 1) / 2;
            std::nth_element(gaps.begin(), middle, gaps.end());
            usual = *middle;
        }
        for (qsizetype i = line.first; i <= line.last; ++i) {
            bool space = m_chars[i].spaceAfter;
            if (!space && joinsNext(i)) {
                const auto [top0, bottom0] = projection(m_chars[i].box, across);
                const auto [top1, bottom1] = projection(m_chars[i + 1].box, across);
                const double size = std::max(bottom0 - top0, bottom1 - top1);
                const double step = std::abs((top1 + bottom1) - (top0 + bottom0)) / 2;
                space = step < kSameBaselineFraction * size && gapAfter(i) - usual > kSpaceFraction * size;
            }
            m_spaceAfter[i] = space;
        }
    }
}

QString PageText::text(const QRectF& userRect) const
{
    const QRectF rect = userRect.normalized();
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return QString();

    // 1. From each line whose middle lies inside across the rectangle: the
    //    cells from the first whose centre is past the rectangle's start to
    //    the last whose centre is short of its end.
    QList<QList<Cell>> lineCells;
    QList<qsizetype> lineOf;
    QList<Run> runs;
    bool oneDirection = true;
    for (qsizetype l = 0; l < m_lines.size(); ++l) {
        const Line& line = m_lines[l];
        const QPointF d = line.direction;
        const auto [rectTop, rectBottom] = projection(rect, acrossAxis(d));
        const double middle = 0.5 * (line.top + line.bottom);
        if (!(middle > rectTop && middle < rectBottom))
            continue;

        QList<Cell> cells;
        for (qsizetype i = line.first; i <= line.last; ++i) {
            const Char& c = m_chars[i];
            if (c.ch.isLowSurrogate() && !cells.isEmpty() && cells.back().ch.isHighSurrogate() &&
                cells.back().low.isNull()) {
                cells.back().low = c.ch;
            } else {
                const auto [lo, hi] = projection(c.box, d);
                cells.append({c.ch, QChar(), i, lo, hi, along(c.centre, d), c.centre});
            }
            if (m_spaceAfter[i] && i < line.last) {
                const Char& next = m_chars[i + 1];
                const double lo = cells.back().hi;
                const double hi = projection(next.box, d).first;
                cells.append(
                    {QLatin1Char(' '), QChar(), -1, lo, hi, 0.5 * (lo + hi), 0.5 * (c.centre + next.centre)});
            }
        }
        const auto [rectStart, rectEnd] = projection(rect, d);
        qsizetype first = -1, last = -1;
        for (qsizetype j = 0; j < cells.size() && first < 0; ++j) {
            if (cells[j].centre > rectStart)
                first = j;
        }
        for (qsizetype j = cells.size() - 1; j >= 0 && last < 0; --j) {
            if (cells[j].centre < rectEnd)
                last = j;
        }
        if (first < 0 || last < 0)
            continue;
        if (!runs.isEmpty() && m_lines[lineOf.back()].direction != d)
            oneDirection = false;
        // A rectangle between two centres gives an empty run; poppler keeps
        // it too, and it can add a line break.
        Run run;
        run.cells = lineCells.size();
        run.start = first;
        run.len = std::max<qsizetype>(0, last - first + 1);
        runs.append(run);
        lineCells.append(std::move(cells));
        lineOf.append(l);
    }
    if (runs.isEmpty())
        return QString();

    // 2. Place the runs in one reading frame: their own direction when they
    //    agree, else the direction most of the page's text runs in.
    const QPointF d = oneDirection ? m_lines[lineOf.front()].direction : m_primary;
    const QPointF across = acrossAxis(d);
    for (Run& run : runs) {
        const Line& line = m_lines[lineOf[run.cells]];
        const QList<Cell>& cells = lineCells[run.cells];
        // Size and baseline of a line come from its first character.
        const auto [firstTop, firstBottom] = projection(m_chars[line.first].box, acrossAxis(line.direction));
        run.size = firstBottom - firstTop;
        if (line.direction == d) {
            run.xMin = cells[run.start].lo;
            run.xMax = run.len > 0 ? cells[run.start + run.len - 1].hi : run.xMin;
            run.yMin = line.top;
            run.base = firstTop + kBaselineFraction * run.size;
        } else {
            // A run across the frame is placed by its own characters.
            run.xMin = run.yMin = INFINITY;
            run.xMax = -INFINITY;
            for (qsizetype j = run.start; j < run.start + run.len; ++j) {
                if (cells[j].index < 0)
                    continue;
                const QRectF& box = m_chars[cells[j].index].box;
                const auto [lo, hi] = projection(box, d);
                run.xMin = std::min(run.xMin, lo);
                run.xMax = std::max(run.xMax, hi);
                run.yMin = std::min(run.yMin, projection(box, across).first);
            }
            if (!std::isfinite(run.xMin)) {
                const double at = along(cells[run.start].point, d);
                run.xMin = run.xMax = at;
                run.yMin = along(cells[run.start].point, across);
            }
            run.base = run.yMin + kBaselineFraction * run.size;
        }
    }
    const auto centreInFrame = [&](const Run& run, qsizetype j) {
        const Cell& cell = lineCells[run.cells][j];
        return m_lines[lineOf[run.cells]].direction == d ? cell.centre : along(cell.point, d);
    };

    // 3. Columns: left to right, each run starts one column past every run
    //    wholly before it, or at the column inside a run it overlaps.
    QList<qsizetype> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return runs[a].xMin != runs[b].xMin ? runs[a].xMin < runs[b].xMin : runs[a].yMin < runs[b].yMin;
    });
    for (qsizetype i = 0; i < order.size(); ++i) {
        Run& run = runs[order[i]];
        int col = 0;
        for (qsizetype j = 0; j < i; ++j) {
            const Run& before = runs[order[j]];
            int col2;
            if (run.xMin >= before.xMax) {
                col2 = before.col + int(before.len) + 1;
            } else {
                qsizetype k = before.start;
                while (k < before.start + before.len && run.xMin >= centreInFrame(before, k))
                    ++k;
                col2 = before.col + int(k - before.start);
            }
            col = std::max(col, col2);
        }
        run.col = col;
    }

    // 4. Reading order: by top, then start; runs on one line of reading by
    //    column, or top first where their columns overlap. Insertion sort:
    //    that order is not a strict weak one, and such groups are short.
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
        return a.yMin != b.yMin ? a.yMin < b.yMin : a.xMin < b.xMin;
    });
    const auto before = [](const Run& a, const Run& b) {
        if (a.col < b.col + b.len && b.col < a.col + a.len)
            return a.yMin < b.yMin;
        return a.col < b.col;
    };
    for (qsizetype i = 0; i < runs.size();) {
        qsizetype j = i + 1;
        while (j < runs.size() && std::abs(runs[j].base - runs[i].base) < kSameLineFraction * runs[i].size)
            ++j;
        for (qsizetype k = i + 1; k < j; ++k) {
            for (qsizetype m = k; m > i && before(runs[m], runs[m - 1]); --m)
                std::swap(runs[m], runs[m - 1]);
        }
        i = j;
    }

    // 5. Lay out: a line break when a run goes back in columns or leaves the
    //    line, spaces up to each run's column.
    QString out;
    int col = 0;
    bool multiLine = false;
    for (qsizetype r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        if (run.col < col ||
            (r > 0 && std::abs(run.base - runs[r - 1].base) > kSameLineFraction * runs[r - 1].size)) {
            out += QLatin1Char('\n');
            col = 0;
            multiLine = true;
        }
        for (; col < run.col; ++col)
            out += QLatin1Char(' ');
        const QList<Cell>& cells = lineCells[run.cells];
        for (qsizetype j = run.start; j < run.start + run.len; ++j) {
            out += cells[j].ch;
            if (!cells[j].low.isNull())
                out += cells[j].low;
        }
        col += int(run.len);
    }
    if (multiLine)
        out += QLatin1Char('\n');
    return out;
}

bool PageText::textAtEdges(const QRectF& userRect, double margin) const
{
    return !edgeFindings(userRect, margin).isEmpty();
}

QList<PageText::EdgeFinding> PageText::edgeFindings(const QRectF& userRect, double margin) const
{
    QList<EdgeFinding> found;
    const QRectF rect = userRect.normalized();
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return found;
    const QRectF near = rect.adjusted(-margin, -margin, margin, margin);
    // Ink may stand a little outside its cell (accents, italic overhang).
    const QRectF nearLines = near.adjusted(-margin, -margin, margin, margin);
    // Outline boxes are computed in floats; a glyph touching the border to
    // within this much lies on it, not across it.
    constexpr double inkTolerance = 0.01;
    const QRectF inside = rect.adjusted(-inkTolerance, -inkTolerance, inkTolerance, inkTolerance);
    const auto add = [&](bool cut, qsizetype i, const QRectF& box) {
        if (found.isEmpty() || found.back().index != i)
            found.append({cut, i, box});
    };
    for (const Line& line : m_lines) {
        if (!line.bounds.intersects(nearLines))
            continue;
        const QPointF d = line.direction;
        const auto [rectStart, rectEnd] = projection(rect, d);
        const auto [rectTop, rectBottom] = projection(rect, acrossAxis(d));
        // Which characters text(rect) takes: those of a line whose middle
        // lies inside, with their centres inside along the line (the run
        // text() takes, for a line whose centres run one way).
        const double middle = 0.5 * (line.top + line.bottom);
        const bool lineTaken = middle > rectTop && middle < rectBottom;
        bool previousTaken = false;
        for (qsizetype i = line.first; i <= line.last; ++i) {
            const Char& c = m_chars[i];
            const double centre = along(c.centre, d);
            const bool taken = lineTaken && centre > rectStart && centre < rectEnd;
            const bool inked = hasInk() && !m_ink[i].isNull();
            if (inked) {
                const QRectF& ink = m_ink[i];
                if (taken) {
                    if (!inside.contains(ink))
                        add(true, i, ink);
                } else if (ink.intersects(near)) {
                    add(ink.intersects(rect.adjusted(inkTolerance, inkTolerance, -inkTolerance, -inkTolerance)), i,
                        ink);
                }
            } else {
                const auto [lo, hi] = projection(c.box, d);
                const auto [top, bottom] = projection(c.box, acrossAxis(d));
                const double w = kCellMargin * (hi - lo);
                const double h = kCellMargin * (bottom - top);
                if (taken) {
                    if (!(lo + w >= rectStart && hi - w <= rectEnd && top + h >= rectTop && bottom - h <= rectBottom))
                        add(true, i, c.box);
                } else if (overlaps(lo, hi, rectStart - margin, rectEnd + margin) &&
                           overlaps(top, bottom, rectTop - margin, rectBottom + margin)) {
                    add(overlaps(lo + w, hi - w, rectStart, rectEnd) && overlaps(top + h, bottom - h, rectTop, rectBottom),
                        i, c.box);
                }
            }
            // Part of a word taken and the rest left.
            if (i > line.first && !m_spaceAfter[i - 1] && !c.ch.isLowSurrogate() && taken != previousTaken)
                add(true, taken ? i - 1 : i, inkOf(taken ? i - 1 : i));
            previousTaken = taken;
        }
    }
    return found;
}

void PageText::attachInk(const QList<Glyph>& glyphs)
{
    m_ink = QList<QRectF>(m_chars.size());
    // A glyph's anchor sits on its baseline, which a cell of a font with
    // no descent has as its edge.
    constexpr double slack = 0.05;
    for (const Glyph& g : glyphs) {
        qsizetype best = -1;
        double bestDistance = INFINITY;
        for (const Line& line : m_lines) {
            if (!line.bounds.adjusted(-slack, -slack, slack, slack).contains(g.anchor))
                continue;
            for (qsizetype i = line.first; i <= line.last; ++i) {
                const Char& c = m_chars[i];
                if (!c.box.normalized().adjusted(-slack, -slack, slack, slack).contains(g.anchor))
                    continue;
                const QPointF v = c.centre - g.anchor;
                const double distance = v.x() * v.x() + v.y() * v.y();
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
        }
        if (best >= 0)
            m_ink[best] = m_ink[best].isNull() ? g.ink.normalized() : (m_ink[best] | g.ink.normalized());
    }
    // A character outside the basic plane is two QChars with one glyph.
    for (qsizetype i = 1; i < m_chars.size(); ++i) {
        if (m_chars[i].ch.isLowSurrogate() && m_ink[i].isNull())
            m_ink[i] = m_ink[i - 1];
    }
}

QRectF PageText::inkOf(qsizetype i) const
{
    if (i < 0 || i >= m_chars.size())
        return QRectF();
    if (hasInk() && !m_ink[i].isNull())
        return m_ink[i];
    return m_chars[i].box.normalized();
}

QString PageText::wordsBetween(qsizetype first, qsizetype last) const
{
    if (first < 0 || last >= m_chars.size() || first > last)
        return QString();
    const Line& line = m_lines[m_lineOf[first]];
    last = std::min(last, line.last);
    while (first > line.first && !m_spaceAfter[first - 1])
        --first;
    while (last < line.last && !m_spaceAfter[last])
        ++last;
    QString out;
    for (qsizetype i = first; i <= last; ++i) {
        out += m_chars[i].ch;
        if (m_spaceAfter[i] && i < last)
            out += QLatin1Char(' ');
    }
    return out;
}

QString PageText::wordAt(qsizetype i) const
{
    return wordsBetween(i, i);
}

QString PageText::allText() const
{
    QString out;
    for (const Char& c : m_chars) {
        out += c.ch;
        if (c.lineEnd)
            out += QLatin1Char('\n');
        else if (c.spaceAfter)
            out += QLatin1Char(' ');
    }
    return out;
}
