// bench_suggest: how often "Suggest regions" finds regions that read every
// page's true sheet number and title. Every combination of title-block
// layout, page rotation, captions, how the producer writes its text (one
// string, glyph by glyph, letter-spaced, kerned), a decoy view title, an
// offset crop box, the kind of sheet numbers and the number of sheets (8,
// or 1 with captions) is made as a set of its own, suggested from its text layers and read back with the
// suggested regions as the application reads them. Prints the share of groups read exactly, by each factor,
// the combinations that missed, and the time a suggestion takes. Asserts nothing.
//
//   bench_suggest [--quick]

#include "Fixtures.h"
#include "PdfDocument.h"
#include "RegionSuggestion.h"
#include "Workflow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTextStream>

namespace {

using Fixtures::TitleBlockSet;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct Case
{
    TitleBlockSet set;
    QMap<QString, QString> factors; // factor → its value in this case
};

struct Tally
{
    int groups = 0;
    int exact = 0;
    void add(bool good)
    {
        ++groups;
        exact += good ? 1 : 0;
    }
    QString share() const
    {
        return QStringLiteral("%1/%2 (%3 %)")
            .arg(exact)
            .arg(groups)
            .arg(groups ? 100.0 * exact / groups : 0.0, 0, 'f', 1);
    }
};

QList<Case> cases(bool quick)
{
    const QList<std::pair<QString, TitleBlockSet::Layout>> layouts = {
        {QStringLiteral("bottom right"), TitleBlockSet::BottomRight},
        {QStringLiteral("bottom strip"), TitleBlockSet::BottomStrip},
        {QStringLiteral("right strip"), TitleBlockSet::RightStrip},
        {QStringLiteral("inline labels"), TitleBlockSet::InlineLabels}};
    const QList<int> rotations = quick ? QList<int>{0, 90} : QList<int>{0, 90, 180, 270};
    const QStringList writings = {QStringLiteral("one string"), QStringLiteral("glyph by glyph"),
                                  QStringLiteral("letter-spaced"), QStringLiteral("kerned")};
    QList<Case> all;
    for (const auto& [layoutName, layout] : layouts) {
        for (const int rotate : rotations) {
            for (const bool captions : {true, false}) {
                for (const QString& writing : writings) {
                    for (const bool decoy : {false, true}) {
                        for (const bool prefixed : {false, true}) {
                            for (const bool offset : quick ? QList<bool>{false} : QList<bool>{false, true}) {
                                for (const int count : {8, 1}) {
                                    // Small schematics number "n/count" and always
                                    // print their labels, which make the layout; a
                                    // single sheet is only told by its captions.
                                    const bool inlined = layout == TitleBlockSet::InlineLabels;
                                    if ((inlined && (prefixed || !captions)) || (count == 1 && !captions))
                                        continue;
                                    Case c;
                                    TitleBlockSet& set = c.set;
                                    set.layout = layout;
                                    set.rotate = rotate;
                                    set.captions = captions;
                                    set.viewTitle = decoy;
                                    set.glyphByGlyph = writing == QStringLiteral("glyph by glyph");
                                    if (writing == QStringLiteral("letter-spaced"))
                                        set.charSpacing = 1.2;
                                    if (writing == QStringLiteral("kerned"))
                                        set.kerning = 35;
                                    if (offset)
                                        set.cropOffset = QPointF(36, 24);
                                    if (inlined) {
                                        set.sheet = QSizeF(842, 595);
                                        set.sheets = Fixtures::schematicSheets(count);
                                    } else {
                                        set.sheets = prefixed ? Fixtures::prefixedSheets(count)
                                                              : Fixtures::architecturalSheets(count);
                                    }
                                    c.factors = {
                                        {QStringLiteral("layout"), layoutName},
                                        {QStringLiteral("rotation"), QString::number(rotate)},
                                        {QStringLiteral("captions"), captions ? "with" : "without"},
                                        {QStringLiteral("text written"), writing},
                                        {QStringLiteral("view title decoy"), decoy ? "yes" : "no"},
                                        {QStringLiteral("numbers"), inlined    ? "n/count"
                                                                    : prefixed ? "shared prefix"
                                                                               : "architectural"},
                                        {QStringLiteral("crop box"), offset ? "offset" : "= media box"},
                                        {QStringLiteral("sheets"), QString::number(count)}};
                                    all.append(c);
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    return all;
}

QString described(const Case& c)
{
    QStringList parts;
    for (auto it = c.factors.cbegin(); it != c.factors.cend(); ++it)
        parts.append(it.key() + QLatin1Char('=') + it.value());
    return parts.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));

    Tally total;
    QMap<QString, QMap<QString, Tally>> byFactor;
    QStringList missed;
    int pagesTotal = 0;
    int pagesExact = 0;
    qint64 suggestNs = 0;
    for (const Case& c : cases(quick)) {
        const Fixtures::Built built = Fixtures::titleBlockSet(c.set);
        QList<int> pages;
        for (int i = 0; i < c.set.sheets.size(); ++i)
            pages.append(i);
        WorkCancellation cancel;
        QElapsedTimer timer;
        timer.start();
        std::optional<RegionSuggestion::Suggestion> found;
        try {
            found = RegionSuggestion::suggestFor(built.bytes, pages, cancel);
        } catch (const std::exception&) {
        }
        suggestNs += timer.nsecsElapsed();

        int good = 0;
        QString firstWrong;
        if (found) {
            QMap<int, PageRegions> map;
            for (const int page : std::as_const(pages))
                map.insert(page, PageRegions(found->number, found->title));
            for (const PageRead& read : DrawingWorkflow::read(built.bytes, pages, map, cancel)) {
                const Fixtures::SheetName& truth = c.set.sheets.at(read.index);
                if (read.number == truth.number && read.title == truth.title() && !read.warning)
                    ++good;
                else if (firstWrong.isEmpty())
                    firstWrong = QStringLiteral("page %1 read \u201C%2\u201D / \u201C%3\u201D%4")
                                     .arg(read.index + 1)
                                     .arg(read.number, read.title,
                                          read.warning ? QStringLiteral(" with a warning") : QString());
            }
        }
        const bool exact = good == pages.size();
        pagesTotal += int(pages.size());
        pagesExact += good;
        total.add(exact);
        for (auto it = c.factors.cbegin(); it != c.factors.cend(); ++it)
            byFactor[it.key()][it.value()].add(exact);
        if (!exact)
            missed.append(
                QStringLiteral("  %1: %2 of %3 pages%4")
                    .arg(described(c))
                    .arg(good)
                    .arg(pages.size())
                    .arg(found ? QStringLiteral("; ") + firstWrong : QStringLiteral(" (nothing suggested)")));
    }

    out() << "Suggested regions that read every page's true name, with no edge warning\n";
    out() << "  groups: " << total.share() << "\n";
    out() << "  pages:  " << pagesExact << "/" << pagesTotal << "\n";
    for (auto f = byFactor.cbegin(); f != byFactor.cend(); ++f) {
        out() << "  by " << f.key() << ":";
        for (auto v = f->cbegin(); v != f->cend(); ++v)
            out() << "  " << v.key() << " " << v->share();
        out() << "\n";
    }
    out() << "Missed (" << missed.size() << "):\n";
    for (const QString& line : std::as_const(missed))
        out() << line << "\n";
    out() << "Time per suggestion (8 or 1 pages, text layers taken from the page): "
          << QString::number(double(suggestNs) / 1e6 / std::max(total.groups, 1), 'f', 1) << " ms\n";
    out().flush();
    return 0;
}
