#include "Commands.h"

#include "CliFailure.h"
#include "CommandLine.h"
#include "PageList.h"
#include "PdfDocument.h"
#include "Session.h"

// words FILE --page N: the words of one page with their boxes in the page's
// own user space, the space regions are given in, so that a word's box
// (grown by a margin) can be used as a region.

int Commands::words(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("words"), args, {QStringLiteral("--page")}, {});
    if (line.helpRequested())
        return printHelp(QStringLiteral("words"));
    const QString file = line.file();
    const PageList pageOption =
        PageList::parseSingle(QStringLiteral("--page"), line.required(QStringLiteral("--page")));

    const SourceFile::Opened opened = session.admit(file);
    const int index = pageOption.indices(opened.document->pageCount()).first();

    const std::optional<PdfPage> page = opened.document->page(index);
    if (!page)
        throw CliFailure::refused(QStringLiteral("Page ") + QString::number(index + 1) +
                                  QStringLiteral(" is unreadable."));
    const WorkCancellation& token = session.token();
    const PageText layer = page->textLayer([&token] { return token.isCancelled(); });
    if (layer.aborted() || token.isCancelled())
        throw CliFailure(CliFailure::Cancelled, QStringLiteral("Cancelled."));
    if (layer.failed())
        throw CliFailure::refused(QStringLiteral("Page ") + QString::number(index + 1) +
                                  QStringLiteral(" is unreadable."));

    OrderedJson words = OrderedJson::array();
    for (const PageText::Word& word : layer.words()) {
        const QRectF box = word.box.normalized();
        OrderedJson entry = OrderedJson::object();
        entry.add(QStringLiteral("text"), OrderedJson::string(word.text))
            .add(QStringLiteral("box"), OrderedJson::rect(box.x(), box.y(), box.width(), box.height()));
        words.append(std::move(entry));
    }
    OrderedJson result = OrderedJson::object();
    result.add(QStringLiteral("page"), OrderedJson::number(index + 1))
        .add(QStringLiteral("words"), std::move(words));
    print(session, result);
    return 0;
}
