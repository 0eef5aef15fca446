// bench_suggest: how often "Suggest regions" finds regions that read every
// page's true sheet number and title. Every combination of title-block
// layout, page rotation, captions, how the producer writes its text (one
// string, glyph by glyph, letter-spaced, kerned), a decoy view title, an
// offset crop box, the kind of sheet numbers and the number of sheets (8,
// or 1 with captions) is made as a set of its own, suggested from its text layers and read back with the
// suggested regions as the application reads them. Prints the share of groups read exactly, by each factor,
// the combinations that missed, and the time a suggestion takes.
//
// Then, for every real drawing set in the real-sets folder that has a truth
// file (<name>.truth.json beside <name>.pdf and its careful regions
// <name>.regions-careful.json): the text pages, the pages the careful
// regions read exactly (and how many of those readings warn), and the pages
// the suggested regions read exactly (and how many of those warn). Texts
// are compared as a person types them: U+2010 and U+2011 as "-", U+00AD
// dropped, the ligatures U+FB00-U+FB06 as their letters, and in numbers
// U+2012 and U+2212 as "-"; the raw count is printed beside. Asserts
// nothing.
//
//   bench_suggest [--quick] [--realsets DIR]
//
// DIR defaults to ../../shared/realsets from the executable (the build
// folder of a checkout beside the shared folder), then ../shared/realsets.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "RegionSuggestion.h"
#include "RegionsFile.h"
#include "Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTextStream>

namespace {

using Fixtures::TitleBlockSet;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// A text as a person types it (see the head of this file).
QString typed(QString text, bool number)
{
    text.replace(QChar(0x2010), QLatin1Char('-')).replace(QChar(0x2011), QLatin1Char('-'));
    text.remove(QChar(0x00AD));
    static const char* const ligatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    for (int i = 0; i < 7; ++i)
        text.replace(QChar(0xFB00 + i), QLatin1String(ligatures[i]));
    if (number)
        text.replace(QChar(0x2012), QLatin1Char('-')).replace(QChar(0x2212), QLatin1Char('-'));
    return text;
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
        {QStringLiteral("inline labels"), TitleBlockSet::InlineLabels},
        {QStringLiteral("ruled strip"), TitleBlockSet::RuledStrip}};
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
                                    // The ruled strip has no number or title
                                    // captions to leave out, and a single
                                    // sheet of it has nothing to tell its
                                    // title by.
                                    const bool ruled = layout == TitleBlockSet::RuledStrip;
                                    if ((inlined && (prefixed || !captions)) || (count == 1 && !captions) ||
                                        (ruled && (!captions || count == 1)))
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
                                    } else if (ruled) {
                                        set.sheets = Fixtures::officeSheets(
                                            count, prefixed ? QChar(0x2010) : QLatin1Char('-'));
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
                                                                    : ruled && prefixed ? "U+2010 hyphen"
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

struct TruthPage
{
    QString number;
    QString title;
    bool text = true;
};

struct Reading
{
    int exact = 0;      // read as typed
    int exactRaw = 0;   // read character for character
    int warned = 0;     // of the exact ones, with an edge warning
};

// Reads `pages` with `regions` and compares with `truth`; `only`, when
// given, limits the count to those pages, and `exactPages` receives the
// pages read exactly.
Reading compare(const QByteArray& bytes, const QMap<int, PageRegions>& regions, const QList<TruthPage>& truth,
                const KeptTextLayers& kept, QSet<int>* exactPages, const QSet<int>* only, QStringList* wrong)
{
    Reading r;
    QList<int> pages = regions.keys();
    WorkCancellation cancel;
    for (const PageRead& read : DrawingWorkflow::read(bytes, pages, regions, cancel, {}, kept)) {
        if (read.index >= truth.size() || !truth[read.index].text || (only && !only->contains(read.index)))
            continue;
        const TruthPage& t = truth[read.index];
        const bool raw = read.number == t.number && read.title == t.title;
        const bool exact = typed(read.number, true) == t.number && typed(read.title, false) == t.title;
        r.exactRaw += raw ? 1 : 0;
        if (exact) {
            ++r.exact;
            r.warned += read.warning ? 1 : 0;
            if (exactPages)
                exactPages->insert(read.index);
        } else if (wrong && wrong->size() < 3) {
            wrong->append(QStringLiteral("page %1 read \u201C%2\u201D / \u201C%3\u201D")
                              .arg(read.index + 1)
                              .arg(read.number, read.title));
        }
    }
    return r;
}

void realSets(const QString& folder)
{
    const QStringList truths =
        QDir(folder).entryList({QStringLiteral("*.truth.json")}, QDir::Files, QDir::Name);
    out() << "\nReal drawing sets in " << folder << " (" << truths.size() << " with truth files)\n";
    int allText = 0, allCareful = 0, allSuggested = 0, allSuggestedWarned = 0, allCarefulWarned = 0;
    for (const QString& truthFile : truths) {
        const QString name = truthFile.chopped(int(QStringLiteral(".truth.json").size()));
        QFile tf(folder + QLatin1Char('/') + truthFile);
        QFile pdf(folder + QLatin1Char('/') + name + QStringLiteral(".pdf"));
        if (!tf.open(QIODevice::ReadOnly) || !pdf.open(QIODevice::ReadOnly))
            continue;
        QList<TruthPage> truth;
        const QJsonObject root = QJsonDocument::fromJson(tf.readAll()).object();
        for (const QJsonValue v : root.value(QStringLiteral("pages")).toArray()) {
            const QJsonObject o = v.toObject();
            const int index = o.value(QStringLiteral("page")).toInt() - 1;
            if (index < 0)
                continue;
            if (truth.size() <= index)
                truth.resize(index + 1);
            truth[index] = {o.value(QStringLiteral("number")).toString(),
                            o.value(QStringLiteral("title")).toString(),
                            o.value(QStringLiteral("text")).toBool(true)};
        }
        const QByteArray bytes = pdf.readAll();
        QElapsedTimer timer;
        timer.start();
        try {
            WorkCancellation cancel;
            const std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes);
            if (!document)
                continue;
            const QList<DrawingGroup> groups = DrawingWorkflow::groups(*document, cancel);
            KeptTextLayers kept;
            const QSet<int> noText = DrawingWorkflow::pagesWithoutText(*document, cancel, {}, &kept);
            int textPages = 0;
            for (int i = 0; i < truth.size(); ++i)
                textPages += truth[i].text && !noText.contains(i) ? 1 : 0;

            // Careful regions, as a person draws them.
            QSet<int> carefulExact;
            Reading careful;
            const QString carefulPath =
                folder + QLatin1Char('/') + name + QStringLiteral(".regions-careful.json");
            if (QFile::exists(carefulPath)) {
                const RegionsFile file = RegionsFile::load(carefulPath);
                const RegionsFile::Match match = file.match(RegionsFile::layoutsOf(*document, groups));
                QMap<int, PageRegions> map;
                for (int i = 0; i < document->pageCount(); ++i) {
                    const PageRegions pair = match.effective(i, groups);
                    if (pair.complete() && !noText.contains(i))
                        map.insert(i, pair);
                }
                careful = compare(bytes, map, truth, kept, &carefulExact, nullptr, nullptr);
            }

            // Suggested regions, group by group, as "Suggest regions" gives them.
            timer.restart();
            QMap<int, PageRegions> suggested;
            int groupsFound = 0;
            for (const DrawingGroup& group : groups) {
                QList<int> pages = group.pages;
                pages.removeIf([&](int p) { return noText.contains(p); });
                if (pages.isEmpty())
                    continue;
                if (const auto found = RegionSuggestion::suggestFor(bytes, pages, cancel, {}, kept)) {
                    ++groupsFound;
                    for (const int p : std::as_const(pages))
                        suggested.insert(p, PageRegions(found->number, found->title));
                }
            }
            const qint64 ms = timer.elapsed();
            QStringList wrong;
            const Reading sugg = compare(bytes, suggested, truth, kept, nullptr, &carefulExact, &wrong);
            out() << "  " << name << ": " << textPages
                  << " text pages; careful regions read " << careful.exact
                  << " exactly (" << careful.exactRaw << " character for character), " << careful.warned
                  << " of them with a warning; suggested regions (" << groupsFound << "/" << groups.size()
                  << " groups, " << ms << " ms) read " << sugg.exact << " of those " << carefulExact.size()
                  << " exactly (" << sugg.exactRaw << " character for character), " << sugg.warned
                  << " with a warning\n";
            for (const QString& w : std::as_const(wrong))
                out() << "      " << w << "\n";
            allText += textPages;
            allCareful += careful.exact;
            allCarefulWarned += careful.warned;
            allSuggested += sugg.exact;
            allSuggestedWarned += sugg.warned;
        } catch (const std::exception& e) {
            out() << "  " << name << ": failed: " << e.what() << "\n";
        }
        out().flush();
    }
    out() << "  all: " << allText << " text pages; careful regions read " << allCareful << " exactly ("
          << allCarefulWarned << " with a warning); suggestions read " << allSuggested << " of those ("
          << QString::number(allCareful ? 100.0 * allSuggested / allCareful : 0.0, 'f', 1) << " %, "
          << allSuggestedWarned << " with a warning)\n";
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
                if (typed(read.number, true) == typed(truth.number, true) &&
                    typed(read.title, false) == truth.title() && !read.warning)
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

    QString folder;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--realsets"));
    if (at >= 0 && at + 1 < args.size())
        folder = args.at(at + 1);
    else {
        for (const QString& candidate : {app.applicationDirPath() + QStringLiteral("/../../shared/realsets"),
                                         QStringLiteral("../shared/realsets")}) {
            if (QDir(candidate).exists()) {
                folder = QDir(candidate).canonicalPath();
                break;
            }
        }
    }
    if (folder.isEmpty())
        out() << "\nNo real-sets folder found (give --realsets DIR).\n";
    else
        realSets(folder);
    out().flush();
    return 0;
}
