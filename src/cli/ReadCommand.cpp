#include "Commands.h"

#include "CliFailure.h"
#include "CommandLine.h"
#include "PageList.h"
#include "PdfDocument.h"
#include "Session.h"

// read FILE --regions REGIONS.json [--pages LIST]: the window's read over the
// listed pages (or all of them). Pages without text, and pages the regions
// file gives no regions, are skipped and listed with the reason, as the
// window leaves their rows to be named by hand or read later.

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
                           {QStringLiteral("--regions"), QStringLiteral("--pages")}, {});
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
    for (const int index : candidates) {
        if (opened.noTextPages.contains(index)) {
            skipped.append(index);
            reasons.add(QString::number(index + 1), OrderedJson::string(QStringLiteral("no text")));
        } else if (!regions.effective(index, opened.groups).complete()) {
            skipped.append(index);
            withoutRegions.append(index);
            reasons.add(QString::number(index + 1), OrderedJson::string(QStringLiteral("no regions")));
        } else {
            toRead.append(index);
        }
    }
    if (!candidates.isEmpty() && toRead.isEmpty()) {
        if (!withoutRegions.isEmpty())
            throw CliFailure::refused(
                QStringLiteral("Read failed: Select number and title regions for page %1.")
                    .arg(withoutRegions.first() + 1));
        throw CliFailure::refused(
            QStringLiteral("These pages have no extractable text. OCR is not supported. Enter "
                           "their numbers and titles directly in the table."));
    }

    const QList<PageRead> reads = readPages(session, opened, regions, toRead);

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
        rows.append(std::move(row));
    }
    OrderedJson result = OrderedJson::object();
    result.add(QStringLiteral("rows"), std::move(rows))
        .add(QStringLiteral("skipped"), OrderedJson::pageNumbers(skipped))
        .add(QStringLiteral("skippedReasons"), std::move(reasons));
    print(session, result);
    return 0;
}
