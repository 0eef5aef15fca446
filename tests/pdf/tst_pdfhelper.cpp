// The helper process behind the PDF service's text and rendering: a page
// that crashes it, hangs it or makes it allocate without end costs that
// page's answer ("unreadable", "could not be read", no image), never the
// caller; the helper comes back for the next request; a cancel ends any of
// it at once; a page poppler refuses to build is read from qpdf's repaired
// copy when that mends it, and is unreadable, never "without text", when
// it does not.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "HelperFault.h"
#include "PdfDocument.h"
#include "SourceFile.h"
#include "Workflow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <functional>
#include <thread>

#include <unistd.h>

namespace {

// Three text pages: "S-1", "S-2", "S-3" at (100, 700), 24 pt.
QByteArray threeSheets()
{
    Fixtures::Document spec;
    for (int i = 1; i <= 3; ++i) {
        Fixtures::Page page;
        page.texts = {{QStringLiteral("S-%1").arg(i), 100, 700, 24}};
        spec.pages.append(page);
    }
    return Fixtures::build(spec).bytes;
}

QString scanMessage(const PdfDocument& document)
{
    WorkCancellation cancel;
    try {
        DrawingWorkflow::pagesWithoutText(document, cancel);
    } catch (const PlanfolioError& e) {
        return e.message();
    }
    return QString();
}

QString readMessage(const QByteArray& bytes, int page)
{
    WorkCancellation cancel;
    QMap<int, PageRegions> regions;
    regions.insert(page, PageRegions(QRectF(90, 690, 80, 40), QRectF(300, 300, 100, 50)));
    try {
        DrawingWorkflow::read(bytes, {page}, regions, cancel);
    } catch (const PlanfolioError& e) {
        return e.message();
    }
    return QString();
}

// The nice values of this process's child processes, by process id.
QMap<int, int> childNices()
{
    QMap<int, int> nices;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const int pid = entry.toInt(&number);
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // After the command's closing parenthesis: state, parent, … and the
        // nice value as the 17th.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16 && fields[1].toInt() == int(::getpid()))
            nices.insert(pid, fields[16].toInt());
    }
    return nices;
}

// The nice values of the helpers started while `work` ran.
QList<int> helpersStartedBy(const std::function<void()>& work)
{
    const QMap<int, int> before = childNices();
    work();
    const QMap<int, int> after = childNices();
    QList<int> started;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            started.append(it.value());
    }
    return started;
}

} // namespace

class TestPdfHelper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textWorksThroughTheHelper()
    {
        const QByteArray bytes = threeSheets();
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document && document->loadTextLayer());
        const PageText layer = document->page(1)->textLayer();
        QVERIFY(!layer.failed() && !layer.aborted());
        QCOMPARE(layer.allText().trimmed(), QStringLiteral("S-2"));
        // The encoding the helper sends is the one kept in memory: a layer
        // survives it unchanged, and nothing else decodes as a layer.
        const std::optional<PageText> again = PageText::fromBytes(layer.toBytes());
        QVERIFY(again);
        QCOMPARE(again->allText(), layer.allText());
        QCOMPARE(again->words().size(), layer.words().size());
        QVERIFY(!PageText::fromBytes(QByteArray("not a layer")));
        QVERIFY(!PageText::fromBytes(layer.toBytes().chopped(1)));
    }

    // Each fault costs the page it strikes, and only that page: the scan
    // names it unreadable, a read of it could not read the source, and
    // the helper is back for the pages after it.
    void faultsCostOnePage_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addRow("crash") << QByteArray("crash");
        QTest::addRow("hang past the time limit") << QByteArray("hang");
        QTest::addRow("allocate past the memory limit") << QByteArray("allocate");
    }
    void faultsCostOnePage()
    {
        QFETCH(QByteArray, fault);
        const QByteArray bytes = threeSheets();
        const HelperFault active(fault.constData(), 1, "text", 1.0, qint64(384) << 20);
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document && document->loadTextLayer());

        QVERIFY(document->page(1)->textLayer().failed());
        const PageText after = document->page(2)->textLayer();
        QVERIFY(!after.failed());
        QCOMPARE(after.allText().trimmed(), QStringLiteral("S-3"));

        QCOMPARE(scanMessage(*document), QStringLiteral("Page 2 is unreadable."));
        QCOMPARE(readMessage(bytes, 1), QStringLiteral("The source PDF could not be read."));
        QCOMPARE(readMessage(bytes, 2), QString());
    }

    void openFailsOnAnUnreadablePage()
    {
        const QByteArray bytes = threeSheets();
        const HelperFault active("crash", 2, "text");
        WorkCancellation cancel;
        try {
            SourceFile::open(bytes, cancel);
            QFAIL("the open succeeded");
        } catch (const PlanfolioError& e) {
            QCOMPARE(e.message(), QStringLiteral("Page 3 is unreadable."));
        }
    }

    // A cancel reaches a helper stuck inside the library: the layer comes
    // back aborted (never failed) soon after, and the scan ends with
    // CancellationError, not an unreadable page.
    void cancelEndsAHungHelper()
    {
        const QByteArray bytes = threeSheets();
        const HelperFault active("hang", 0, "text");
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document && document->loadTextLayer());

        WorkCancellation cancel;
        QElapsedTimer clock;
        std::thread canceller([&cancel] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel.cancel();
        });
        clock.start();
        bool cancelled = false;
        try {
            DrawingWorkflow::pagesWithoutText(*document, cancel);
        } catch (const CancellationError&) {
            cancelled = true;
        }
        const qint64 elapsed = clock.elapsed();
        canceller.join();
        QVERIFY(cancelled);
        qInfo("cancel took effect %lld ms after it was asked", elapsed - 200);
        // Far above the helper's grace: only a cancel that never reached
        // the stuck helper could take this long.
        QVERIFY2(elapsed - 200 < 3000, "the cancel did not reach the stuck helper");
    }

    void renderFailuresAreToldApartFromAborts()
    {
        const QByteArray bytes = threeSheets();
        const HelperFault active("crash", 1, "render");
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document);
        bool failed = false;
        QVERIFY(document->page(1)->render(36, {}, &failed).isNull());
        QVERIFY(failed);
        // The next render has a fresh helper.
        const QImage next = document->page(2)->render(36, {}, &failed);
        QVERIFY(!next.isNull());
        QVERIFY(!failed);
        // An abort is not a failure.
        QVERIFY(document->page(2)->render(36, [] { return true; }, &failed).isNull());
        QVERIFY(!failed);
        // Text still works from the same document.
        QVERIFY(!document->page(1)->textLayer().failed());
    }

    // A page poppler refuses to build takes every page after it along;
    // qpdf's repaired copy mends an /Annots of the wrong type, and the
    // pages then read as they are, for text and display alike.
    void repairedCopyMendsWhatItCan()
    {
        const QByteArray bytes = Fixtures::withPageEntry(threeSheets(), 1, "/Annots", "5");
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document);
        QVERIFY(!DocumentSafety::problem(*document));
        QVERIFY(document->loadTextLayer());
        WorkCancellation cancel;
        QCOMPARE(DrawingWorkflow::pagesWithoutText(*document, cancel), QSet<int>());
        QCOMPARE(document->page(2)->textLayer().allText().trimmed(), QStringLiteral("S-3"));
        bool failed = true;
        QVERIFY(!document->page(1)->render(36, {}, &failed).isNull());
        QVERIFY(!failed);
        // The document's own bytes stay the original ones.
        QCOMPARE(document->bytes(), bytes);
        QCOMPARE(readMessage(bytes, 2), QString());
    }

    void unmendablePageIsUnreadableNotEmpty()
    {
        const QByteArray bytes = Fixtures::withPageEntry(threeSheets(), 1, "/Contents", "42");
        const auto document = PdfDocument::open(bytes);
        QVERIFY(document && document->loadTextLayer());
        QVERIFY(document->page(0)->textLayer().allText().contains(QStringLiteral("S-1")));
        QVERIFY(document->page(1)->textLayer().failed());
        QCOMPARE(scanMessage(*document), QStringLiteral("Page 2 is unreadable."));
        QCOMPARE(readMessage(bytes, 1), QStringLiteral("The source PDF could not be read."));
        bool failed = false;
        QVERIFY(document->page(1)->render(36, {}, &failed).isNull());
        QVERIFY(failed);
    }

    // Page images for the window are made behind everything at the usual
    // priority; text and everything else at the caller's own.
    void backgroundHelpersRunBehind()
    {
        const QByteArray bytes = threeSheets();
        std::unique_ptr<PdfDocument> shown;
        const QList<int> images = helpersStartedBy([&] {
            shown = PdfDocument::open(bytes);
            shown->runHelpersInBackground();
            QVERIFY(!shown->page(0)->render(36).isNull());
        });
        QVERIFY(!images.isEmpty());
        for (int nice : images)
            QCOMPARE(nice, 10);

        std::unique_ptr<PdfDocument> read;
        const QList<int> text = helpersStartedBy([&] {
            read = PdfDocument::open(bytes);
            QVERIFY(!read->page(0)->textLayer().failed());
        });
        QVERIFY(!text.isEmpty());
        for (int nice : text)
            QCOMPARE(nice, 0);
    }

    void missingHelperFailsCleanly()
    {
        PdfHelperSettings saved = pdfHelperSettings();
        PdfHelperSettings s = saved;
        s.program = QStringLiteral("/nonexistent/planfolio-pdf-helper");
        setPdfHelperSettings(s);
        const auto document = PdfDocument::open(threeSheets());
        QVERIFY(document);
        QVERIFY(!document->loadTextLayer());
        QVERIFY(document->page(0)->textLayer().failed());
        setPdfHelperSettings(saved);
    }
};

QTEST_GUILESS_MAIN(TestPdfHelper)
#include "tst_pdfhelper.moc"
