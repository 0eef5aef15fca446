#include "Commands.h"

#include "CommandLine.h"
#include "PdfDocument.h"
#include "Session.h"

#include <algorithm>

// inspect FILE: what the window shows after opening a file — the page count,
// the geometry groups with their descriptions, and the pages without text.

int Commands::inspect(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("inspect"), args, {}, {});
    if (line.helpRequested())
        return printHelp(QStringLiteral("inspect"));
    const QString file = line.file();

    const SourceFile::Opened opened = session.admit(file);

    OrderedJson groups = OrderedJson::array();
    for (qsizetype g = 0; g < opened.groups.size(); ++g) {
        const DrawingGroup& group = opened.groups.at(g);
        OrderedJson entry = OrderedJson::object();
        entry.add(QStringLiteral("group"), OrderedJson::number(double(g + 1)))
            .add(QStringLiteral("description"), OrderedJson::string(group.description))
            .add(QStringLiteral("pages"), OrderedJson::pageNumbers(group.pages));
        groups.append(std::move(entry));
    }
    QList<int> noText = opened.noTextPages.values();
    std::sort(noText.begin(), noText.end());

    OrderedJson result = OrderedJson::object();
    result.add(QStringLiteral("pages"), OrderedJson::number(opened.document->pageCount()))
        .add(QStringLiteral("groups"), std::move(groups))
        .add(QStringLiteral("pagesWithoutText"), OrderedJson::pageNumbers(noText));
    print(session, result);
    return 0;
}
