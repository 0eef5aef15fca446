// Times the engine's full read (two regions per page), text scan and export
// of a heavy drawing set next to the reference command-line tools on the
// same file, one after the other.
//
// Usage: bench_engine [file.pdf]   (default: the heavy fixture of 50 sheets,
// written to a temporary folder). Prints one line per measurement.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

double seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

double tool(const QString& program, const QStringList& arguments)
{
    return seconds([&] {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            out() << program << " failed: " << process.readAllStandardError() << Qt::endl;
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    QString path = app.arguments().value(1);
    if (path.isEmpty()) {
        path = work.filePath(QStringLiteral("heavy50.pdf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(Fixtures::heavy(50).bytes) < 0)
            return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(bytes);
    if (!document)
        return 1;
    const int pages = document->pageCount();
    out() << path << ": " << pages << " pages, " << bytes.size() / 1e6 << " MB" << Qt::endl;

    QList<int> all;
    QMap<int, PageRegions> regions;
    for (int i = 0; i < pages; ++i) {
        all.append(i);
        regions.insert(i, PageRegions(Fixtures::heavyNumberRegion(), Fixtures::heavyTitleRegion()));
    }
    WorkCancellation cancel;
    QList<PageRead> reads;
    const double read = seconds([&] { reads = DrawingWorkflow::read(bytes, all, regions, cancel); });
    int correct = 0;
    for (const PageRead& r : reads)
        correct += r.number == Fixtures::heavyNumber(r.index) && r.title == Fixtures::heavyTitle(r.index);
    out() << "read (2 regions a page)      " << read << " s  (" << correct << "/" << pages << " correct)"
          << Qt::endl;

    const double scan = seconds([&] { DrawingWorkflow::pagesWithoutText(*document, cancel); });
    out() << "text scan                    " << scan << " s" << Qt::endl;

    QList<ReviewRow> rows;
    for (const PageRead& r : reads) {
        ReviewRow row = makeRow(r.index, ReviewState::readReview);
        row[QStringLiteral("number")] = r.number;
        row[QStringLiteral("title")] = r.title;
        rows.append(row);
    }
    const QString exportParent = work.filePath(QStringLiteral("export"));
    QDir().mkpath(exportParent);
    const double exported = seconds([&] {
        try {
            DocumentSafety::exportSheets(rows, *document, exportParent.toStdString(), cancel);
        } catch (const TaskError& e) {
            out() << "export failed: " << e.message() << Qt::endl;
        }
    });
    out() << "export (" << pages << " sheets + register) " << exported << " s" << Qt::endl;

    const double pdftotext = tool(QStringLiteral("pdftotext"), {QStringLiteral("-cropbox"), path,
                                                                work.filePath(QStringLiteral("all.txt"))});
    out() << "pdftotext -cropbox           " << pdftotext << " s" << Qt::endl;
    QDir().mkpath(work.filePath(QStringLiteral("split")));
    const double split = tool(QStringLiteral("qpdf"), {QStringLiteral("--split-pages"), path,
                                                       work.filePath(QStringLiteral("split/out-%d.pdf"))});
    out() << "qpdf --split-pages           " << split << " s" << Qt::endl;
    out() << "ratios: read/pdftotext " << read / pdftotext << ", export/split " << exported / split
          << Qt::endl;
    return 0;
}
