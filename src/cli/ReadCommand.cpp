#include "Commands.h"

#include "CliFailure.h"
#include "CommandLine.h"
#include "OutlinedText.h"
#include "PageList.h"
#include "PdfDocument.h"
#include "Session.h"

#include <algorithm>

// read FILE --regions REGIONS.json [--pages LIST] [--fill-from-bookmarks]:
// the window's read over the listed pages (or all of them). Pages without
// text, and pages the regions file gives no regions, are skipped and listed
// with the reason, as the window leaves their rows to be named by hand or
// read later; pages without text are named by their bookmarks when the
// fill was asked for.

namespace {

const QString outlinedSentence = QStringLiteral(
    "%1 pages show drawn text in their regions but the PDF carries no text there; enter their names "
    "in the table.");

// The skipped pages (no text) whose regions show drawn ink.
QList<int> outlinedAmong(const QList<int>& pages, const SourceFile::Opened& opened,
                         const RegionsFile::Match& regions)
{
    QList<int> outlined;
    const WorkCancellation never;
    for (const int index : pages) {
        const std::optional<PdfPage> page = opened.document->page(index);
        const PageRegions effective = regions.effective(index, opened.groups);
        if (page &&
            OutlinedText::emptyRegionsShowInk(*page, effective, PageRead{index, {}, {}, false, {}}, never))
            outlined.append(index);
    }
    return outlined;
}

} // namespace

QList<PageRead> Commands::readPages(Session& session, const SourceFile::Opened& opened,
                                    const RegionsFile::Match& regions, const QList<int>& pages)
{
    QMap<int, PageRegions> map;
    for (const int index : pages)
        map.insert(index, regions.effective(index, opened.groups));
    // The open's scan took every page's text layer; the read selects from it.
    return session.read(opened.bytes, pages, map, opened.textLayers);
}

int Commands::read(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("read"), args,
                           {QStringLiteral("--regions"), QStringLiteral("--pages")},
                           {QStringLiteral("--fill-from-bookmarks")});
    if (line.helpRequested())
        return printHelp(QStringLiteral("read"));
    const QString file = line.file();
    const QString regionsPath = line.required(QStringLiteral("--regions"));
    std::optional<PageList> pageList;
    if (line.has(QStringLiteral("--pages")))
        pageList = PageList::parse(QStringLiteral("--pages"), line.required(QStringLiteral("--pages")));
    const RegionsFile regionsFile = loadRegions(regionsPath);

    const SourceFile::Opened opened = session.admit(file);
    const int pageCount = opened.document->pageCount();
    const RegionsFile::Match regions = matchRegions(regionsFile, opened);

    QList<int> candidates;
    if (pageList) {
        candidates = pageList->indices(pageCount);
    } else {
        for (int i = 0; i < pageCount; ++i)
            candidates.append(i);
    }
    // Pages without text, and pages the regions file gives no complete
    // pair of regions, are left out of the read and listed with the reason;
    // the rest are read.
    QList<int> toRead;
    QList<int> skipped;
    OrderedJson reasons = OrderedJson::object();
    QList<int> withoutRegions;
    QMap<int, QString> skipReason;
    for (const int index : candidates) {
        if (opened.noTextPages.contains(index)) {
            skipped.append(index);
            skipReason.insert(index, QStringLiteral("no text"));
        } else if (!regions.effective(index, opened.groups).complete()) {
            skipped.append(index);
            withoutRegions.append(index);
            skipReason.insert(index, QStringLiteral("no regions"));
        } else {
            toRead.append(index);
        }
    }
    // Pages without text named by their bookmarks, as if typed; only
    // when asked, and never over a name (a skipped page has none).
    const QMap<int, BookmarkName>& bookmarks = opened.bookmarkNames;
    QList<int> filled;
    if (line.has(QStringLiteral("--fill-from-bookmarks"))) {
        for (const int index : std::as_const(skipped)) {
            if (opened.noTextPages.contains(index) && bookmarks.contains(index))
                filled.append(index);
        }
        for (const int index : std::as_const(filled))
            skipped.removeOne(index);
    }
    for (const int index : std::as_const(skipped))
        reasons.add(QString::number(index + 1), OrderedJson::string(skipReason.value(index)));
    const QList<int> outlinedSkipped = outlinedAmong(skipped, opened, regions);
    if (!candidates.isEmpty() && toRead.isEmpty() && filled.isEmpty()) {
        if (!withoutRegions.isEmpty())
            throw CliFailure::refused(
                QStringLiteral("Read failed: Select number and title regions for page %1.")
                    .arg(withoutRegions.first() + 1));
        QString message = QStringLiteral("These pages have no extractable text. OCR is not supported. Enter "
                                         "their numbers and titles directly in the table.");
        if (!outlinedSkipped.isEmpty())
            message += QLatin1Char(' ') + outlinedSentence.arg(outlinedSkipped.size());
        throw CliFailure::refused(message);
    }

    QList<PageRead> reads = readPages(session, opened, regions, toRead);
    for (const int index : std::as_const(filled)) {
        const BookmarkName& name = bookmarks[index];
        reads.append(PageRead{index, name.number, name.title, false, {}});
    }
    std::stable_sort(reads.begin(), reads.end(),
                     [](const PageRead& a, const PageRead& b) { return a.index < b.index; });

    OrderedJson rows = OrderedJson::array();
    for (const PageRead& read : reads) {
        OrderedJson row = OrderedJson::object();
        row.add(QStringLiteral("page"), OrderedJson::number(read.index + 1))
            .add(QStringLiteral("number"), OrderedJson::string(read.number))
            .add(QStringLiteral("title"), OrderedJson::string(read.title))
            .add(QStringLiteral("warning"), OrderedJson::boolean(read.warning));
        OrderedJson why = OrderedJson::array();
        for (const EdgeReason& reason : read.reasons)
            why.append(OrderedJson::string(reason.sentence()));
        row.add(QStringLiteral("warningReasons"), std::move(why));
        if (read.outlinedText)
            row.add(QStringLiteral("outlinedText"), OrderedJson::boolean(true));
        // A set with sheet bookmarks: every row says what its bookmark
        // names, as a second witness for the name read.
        if (!bookmarks.isEmpty()) {
            const auto bookmark = bookmarks.constFind(read.index);
            if (bookmark == bookmarks.cend()) {
                row.add(QStringLiteral("bookmark"), OrderedJson::null())
                    .add(QStringLiteral("bookmarkAgrees"), OrderedJson::null());
            } else {
                row.add(QStringLiteral("bookmark"), OrderedJson::string(bookmark->text()))
                    .add(QStringLiteral("bookmarkAgrees"),
                         OrderedJson::boolean(BookmarkNames::agrees(*bookmark, read.number, read.title)));
            }
        }
        if (filled.contains(read.index))
            row.add(QStringLiteral("filledFromBookmark"), OrderedJson::boolean(true));
        rows.append(std::move(row));
    }
    QList<int> outlined = outlinedSkipped;
    for (const PageRead& read : std::as_const(reads)) {
        if (read.outlinedText)
            outlined.append(read.index);
    }
    std::sort(outlined.begin(), outlined.end());
    OrderedJson result = OrderedJson::object();
    result.add(QStringLiteral("rows"), std::move(rows))
        .add(QStringLiteral("skipped"), OrderedJson::pageNumbers(skipped))
        .add(QStringLiteral("skippedReasons"), std::move(reasons));
    if (line.has(QStringLiteral("--fill-from-bookmarks")))
        result.add(QStringLiteral("filledFromBookmarks"), OrderedJson::number(filled.size()));
    if (!outlined.isEmpty()) {
        result.add(QStringLiteral("outlinedText"), OrderedJson::pageNumbers(outlined))
            .add(QStringLiteral("message"), OrderedJson::string(outlinedSentence.arg(outlined.size())));
    }
    print(session, result);
    return 0;
}
