#include "Commands.h"

#include "CliFailure.h"
#include "CommandLine.h"
#include "PdfDocument.h"
#include "Session.h"

#include <algorithm>

// split FILE --regions REGIONS.json --into PARENT [--accept-warnings]: read
// every page, then export the names as read. What a person would look at in
// the window before exporting is refused here instead: pages without text
// (they have no names) always, pages that need an edge/text check unless
// the caller accepts them.

int Commands::split(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("split"), args,
                           {QStringLiteral("--regions"), QStringLiteral("--into")},
                           {QStringLiteral("--accept-warnings")});
    if (line.helpRequested())
        return printHelp(QStringLiteral("split"));
    const QString file = line.file();
    const QString regionsPath = line.required(QStringLiteral("--regions"));
    const QString into = line.required(QStringLiteral("--into"));
    const bool acceptWarnings = line.has(QStringLiteral("--accept-warnings"));

    const RegionsFile regionsFile = loadRegions(regionsPath);
    const std::filesystem::path parent = parentFolder(into);

    const SourceFile::Opened opened = session.admit(file);
    const int pageCount = opened.document->pageCount();
    const RegionsFile::Match regions = matchRegions(regionsFile, opened);

    QList<int> noText = opened.noTextPages.values();
    std::sort(noText.begin(), noText.end());
    if (!noText.isEmpty())
        throw CliFailure::refused(QStringLiteral("pages have no text and need names: ") + pageText(noText));

    QList<int> pages;
    for (int i = 0; i < pageCount; ++i)
        pages.append(i);
    const QList<PageRead> reads = readPages(session, opened, regions, pages);

    QList<int> warned;
    QList<ReviewRow> rows;
    for (const PageRead& read : reads) {
        if (read.warning)
            warned.append(read.index);
        ReviewRow row = makeRow(read.index, read.warning ? ReviewState::checkEdges : ReviewState::readReview);
        row.insert(QStringLiteral("number"), read.number);
        row.insert(QStringLiteral("title"), read.title);
        rows.append(row);
    }
    if (!warned.isEmpty() && !acceptWarnings)
        throw CliFailure::refused(QStringLiteral("pages need an edge/text check: ") + pageText(warned));
    checkNames(rows);

    const std::filesystem::path folder = session.exportRows(opened.bytes, rows, parent);
    print(session, exportResult(folder, rows.size()));
    return 0;
}
