#include "SuggestionText.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>

namespace SuggestionText {

namespace {

// Gaps and offsets as fractions of the text height (a glyph box is about
// 0.93 em high): a word space is about 0.3, a letter gap about 0.
constexpr double wordGap = 0.18;
constexpr double runGap = 0.75;
constexpr double baselineShift = 0.3;
constexpr double heightRatio = 1.35;

double centreY(const QRectF& r)
{
    return r.center().y();
}

QString token(const QString& word)
{
    static const QString punctuation = QStringLiteral(".:#/-\u2013()");
    qsizetype from = 0, to = word.size();
    while (from < to && punctuation.contains(word.at(from)))
        ++from;
    while (to > from && punctuation.contains(word.at(to - 1)))
        --to;
    return word.mid(from, to - from).toUpper();
}

const std::map<QString, Label>& labels()
{
    static const std::map<QString, Label> table = [] {
        std::map<QString, Label> t;
        for (const char* s : {"SHEET", "SHEET NO", "SHEET NUMBER", "SHEET NR", "DRAWING NO", "DRAWING NUMBER",
                              "DRAWING NR", "DRAWING", "DWG", "DWG NO", "DWG NUMBER", "DRG", "DRG NO",
                              "DRAWING SHEET NO", "SHEET ID", "ID", "DRAWING ID", "DOCUMENT NO", "DOC NO", "SHT",
                              "SHT NO", "PAGE", "PAGE NO", "SHEET NUMBER", "FIGURE NO"})
            t[QLatin1String(s)] = Label::Number;
        for (const char* s : {"TITLE", "SHEET TITLE", "DRAWING TITLE", "DWG TITLE", "DRG TITLE", "SHEET NAME",
                              "DRAWING NAME"})
            t[QLatin1String(s)] = Label::Title;
        for (const char* s : {"SCALE",
                              "DATE",
                              "REV",
                              "REVISION",
                              "DRAWN",
                              "DRAWN BY",
                              "CHECKED",
                              "CHECKED BY",
                              "APPROVED",
                              "APPROVED BY",
                              "DESIGNED",
                              "DESIGNED BY",
                              "PROJECT",
                              "PROJECT NO",
                              "PROJECT NUMBER",
                              "JOB",
                              "JOB NO",
                              "STATUS",
                              "CLIENT",
                              "SIZE",
                              "SHEET SIZE",
                              "PAPER SIZE",
                              "FILE",
                              "ISSUE",
                              "PLOT DATE",
                              "CAD",
                              "CHK",
                              "APP",
                              "BY",
                              "CONTRACT",
                              "CONTRACT NO",
                              "ARCHITECT",
                              "ENGINEER",
                              "LOCATION",
                              "OWNER",
                              "PHASE",
                              "STAGE",
                              "CODE",
                              "SUITABILITY",
                              "COMPANY",
                              "DATED",
                              "RELEASED",
                              "QUALITY CONTROL"})
            t[QLatin1String(s)] = Label::Other;
        return t;
    }();
    return table;
}

// Characters of lines that run left to right on the displayed sheet, as
// glyphs in display space.
QList<Glyph> uprightGlyphs(const PageText& layer, const QTransform& display)
{
    const QList<PageText::Char>& chars = layer.chars();
    QList<Glyph> glyphs;
    glyphs.reserve(chars.size());
    for (qsizetype first = 0; first < chars.size();) {
        qsizetype last = first;
        while (last + 1 < chars.size() && chars[last + 1].line == chars[first].line)
            ++last;
        const QPointF a = display.map(chars[first].centre);
        const QPointF b = display.map(chars[last].centre);
        const double dx = b.x() - a.x();
        const double dy = b.y() - a.y();
        // A line of one character has no direction: taken as upright.
        const bool upright = first == last || (dx > 0 && std::abs(dy) < dx);
        for (qsizetype i = first; upright && i <= last; ++i) {
            const PageText::Char& c = chars[i];
            if (c.ch.isSpace() || c.box.isEmpty())
                continue;
            glyphs.append({c.ch, display.mapRect(c.box), c.box, int(i)});
        }
        first = last + 1;
    }
    return glyphs;
}

// Whether `word` ends a label written with a colon ("Title:", "No.:"),
// as producers that put label and value on one line write it.
bool endsColonLabel(const QString& word)
{
    return word.endsWith(QLatin1Char(':')) &&
           std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
}

void finishRun(Run& run)
{
    QList<double> heights;
    for (const Glyph& g : std::as_const(run.glyphs))
        heights.append(g.display.height());
    std::sort(heights.begin(), heights.end());
    run.height = heights.at(heights.size() / 2);
    run.display = QRectF();
    for (qsizetype i = 0; i < run.glyphs.size(); ++i) {
        const Glyph& g = run.glyphs[i];
        run.display = run.display.isNull() ? g.display : run.display.united(g.display);
        const bool starts =
            i == 0 || g.display.left() - run.glyphs[i - 1].display.right() > wordGap * run.height;
        if (starts) {
            run.wordStarts.append(int(i));
            run.words.append(QString());
        }
        run.words.last() += g.ch;
    }
    const auto [label, count] = leadingLabel(run.words);
    run.leadLabel = label;
    run.lead = count;
}

// A line such as "Size: A4   Date: 2026-05-26" or "Rev: B Id: 2/11" holds
// several labelled values: it is cut before every label that ends with a
// colon (taking the known label words in front of that word with it, as in
// "SHEET NO:"), so that each value keeps its own label. Labels without a
// colon are only recognised at the start of a run, since title text may
// hold label words ("COVER SHEET").
QList<Run> splitAtLabels(const Run& run)
{
    QList<int> cuts; // word indexes that start a new run
    for (int i = 1; i < run.words.size(); ++i) {
        if (!endsColonLabel(run.words[i]))
            continue;
        const int previous = cuts.isEmpty() ? 0 : cuts.last();
        int from = i;
        for (int j = std::max(previous + 1, i - 3); j < i; ++j) {
            if (leadingLabel(run.words.mid(j, i - j + 1)).second == i - j + 1) {
                from = j;
                break;
            }
        }
        if (from > previous)
            cuts.append(from);
    }
    if (cuts.isEmpty())
        return {run};
    QList<Run> parts;
    cuts.append(int(run.words.size()));
    int start = 0;
    for (const int cut : std::as_const(cuts)) {
        const qsizetype to = cut < run.words.size() ? run.wordStarts[cut] : run.glyphs.size();
        Run part;
        part.glyphs = run.glyphs.mid(run.wordStarts[start], to - run.wordStarts[start]);
        finishRun(part);
        parts.append(part);
        start = cut;
    }
    return parts;
}

// Sweeps the glyphs from left to right, each joining the open run it
// continues: same height, same baseline, at most a wide word space away.
QList<Run> runsOf(QList<Glyph> glyphs)
{
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const Glyph& a, const Glyph& b) { return a.display.left() < b.display.left(); });
    QList<Run> done;
    QList<Run> open;
    for (const Glyph& g : std::as_const(glyphs)) {
        const double h = g.display.height();
        int best = -1;
        double bestCost = 0;
        for (qsizetype r = 0; r < open.size(); ++r) {
            const Glyph& last = open[r].glyphs.last();
            const double lh = last.display.height();
            const double big = std::max(h, lh);
            if (big > heightRatio * std::min(h, lh))
                continue;
            const double dy = std::abs(centreY(g.display) - centreY(last.display));
            const double gap = g.display.left() - last.display.right();
            if (dy > baselineShift * big || gap > runGap * big || gap < -0.5 * big)
                continue;
            // The same glyph drawn again on top (fake bold) adds nothing.
            if (g.ch == last.ch && std::abs(g.display.left() - last.display.left()) < 0.2 * big) {
                best = -2;
                break;
            }
            const double cost = dy + 0.1 * std::abs(gap);
            if (best < 0 || cost < bestCost) {
                best = int(r);
                bestCost = cost;
            }
        }
        if (best == -2)
            continue;
        if (best >= 0) {
            open[best].glyphs.append(g);
        } else {
            Run run;
            run.glyphs.append(g);
            open.append(run);
        }
        // Runs that nothing further right can continue are finished.
        for (qsizetype r = open.size() - 1; r >= 0; --r) {
            const Glyph& last = open[r].glyphs.last();
            if (g.display.left() - last.display.right() > 2 * runGap * std::max(h, last.display.height())) {
                done.append(open.takeAt(r));
            }
        }
    }
    done.append(open);
    QList<Run> split;
    for (Run& run : done) {
        finishRun(run);
        split += splitAtLabels(run);
    }
    done = std::move(split);
    // Top to bottom, then left to right: a stable order for callers.
    std::sort(done.begin(), done.end(), [](const Run& a, const Run& b) {
        return a.display.top() != b.display.top() ? a.display.top() < b.display.top()
                                                  : a.display.left() < b.display.left();
    });
    return done;
}

} // namespace

const QString& separators()
{
    // Offices write the hyphen of a number as the typewriter's, but also as
    // U+2010 HYPHEN, U+2011 NON-BREAKING HYPHEN, U+2012 FIGURE DASH, U+2013
    // EN DASH or U+2212 MINUS SIGN.
    static const QString s = QStringLiteral("-._/\u2010\u2011\u2012\u2013\u2212");
    return s;
}

bool looksLikePageNumber(const QString& text)
{
    static const QRegularExpression page(QStringLiteral("^\\d{1,4}(/\\d{1,4})?$"));
    return page.match(text).hasMatch();
}

std::pair<Label, int> leadingLabel(const QList<QString>& words)
{
    std::pair<Label, int> found{Label::None, 0};
    QString joined;
    int taken = 0;
    for (int i = 0; i < words.size() && taken < 4; ++i) {
        const QString t = token(words[i]);
        if (t.isEmpty()) {
            // Lone punctuation (":" or "#") belongs to the label before it.
            if (found.second == i)
                found.second = i + 1;
            continue;
        }
        joined += (joined.isEmpty() ? QString() : QStringLiteral(" ")) + t;
        ++taken;
        const auto it = labels().find(joined);
        if (it != labels().end())
            found = {it->second, i + 1};
    }
    // A word with a colon in front of a value is a label even when it is
    // not a known one ("Company: …"): what follows is some other value.
    if (found.second == 0 && !words.isEmpty() && endsColonLabel(words.first()))
        found = {Label::Other, 1};
    return found;
}

bool looksLikeNumber(const QString& text, int longest)
{
    static const QRegularExpression date(QStringLiteral("^\\d{1,4}[./-]\\d{1,2}[./-]\\d{2,4}$"));
    static const QRegularExpression ofCount(QStringLiteral("^\\d+ OF \\d+$"),
                                            QRegularExpression::CaseInsensitiveOption);
    int length = 0, spaces = 0, digits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) {
            ++spaces;
            continue;
        }
        ++length;
        if (c.isDigit())
            ++digits;
        else if (!c.isLetter() && !separators().contains(c))
            return false;
    }
    // A figure or plate is numbered by a letter as often as by a digit
    // ("FIGURE B", "FIGURE F.1").
    static const QRegularExpression figure(QStringLiteral("^(FIGURE|FIG\\.?|PLATE|EXHIBIT|APPENDIX) [A-Z0-9]"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (spaces == 1 && length <= longest && figure.match(text).hasMatch())
        return true;
    // A leading slash makes it a path ("/IO Bank 1/"), as some producers
    // print next to a SHEET label.
    if (length < 2 || length > longest || spaces > 2 || digits == 0 || text.startsWith(QLatin1Char('/')))
        return false;
    return !date.match(text).hasMatch() && !ofCount.match(text).hasMatch();
}

Page read(const PageText& layer, const QTransform& display)
{
    Page page;
    page.glyphs = uprightGlyphs(layer, display);
    page.runs = runsOf(page.glyphs);
    for (int r = 0; r < page.runs.size(); ++r) {
        const Run& run = page.runs[r];
        if (run.isLabel())
            continue;
        Piece piece;
        piece.run = r;
        piece.inlineLabel = run.leadLabel;
        const int from = run.lead > 0 ? run.wordStarts[run.lead] : 0;
        piece.glyphs = run.glyphs.mid(from);
        piece.text = run.words.mid(run.lead).join(QLatin1Char(' '));
        piece.height = run.height;
        for (const Glyph& g : std::as_const(piece.glyphs)) {
            piece.display = piece.display.isNull() ? g.display : piece.display.united(g.display);
            piece.user = piece.user.isNull() ? g.user : piece.user.united(g.user);
        }
        page.pieces.append(piece);
    }
    return page;
}

} // namespace SuggestionText
