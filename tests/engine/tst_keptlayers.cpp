// The open keeps every page's text layer, and reads select from it: the
// same names and warnings as a read that interprets the pages again, no
// PDF work for kept pages, and a bound on what is kept past which pages
// are taken again at read time.

#include "Fixtures.h"
#include "HelperFault.h"
#include "PdfDocument.h"
#include "SourceFile.h"
#include "Workflow.h"

#include <QTest>

namespace {

// Six pages, each with its number and a two-line title; page 4 (index 3)
// has its number cut by the region, page 5 (index 4) has no text.
Fixtures::Built sixSheets()
{
    Fixtures::Document spec;
    for (int i = 0; i < 6; ++i) {
        Fixtures::Page page;
        page.mediaBox = QRectF(0, 0, 842, 595);
        if (i != 4) {
            page.texts = {{i == 3 ? QStringLiteral("A-1040000") : QStringLiteral("A-10%1").arg(i), 700, 40, 12},
                          {QStringLiteral("GROUND FLOOR"), 700, 90, 10},
                          {QStringLiteral("PLAN %1").arg(i), 700, 78, 10}};
        } else {
            page.image = true;
        }
        spec.pages.append(page);
    }
    return Fixtures::build(spec);
}

QMap<int, PageRegions> regionsFor(const QList<int>& pages)
{
    QMap<int, PageRegions> map;
    for (int page : pages)
        map.insert(page, PageRegions(QRectF(695, 35, 46, 20), QRectF(695, 72, 120, 32)));
    return map;
}

const QList<int> textPages{0, 1, 2, 3, 5};

} // namespace

class TestKeptLayers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openKeepsEveryLayer()
    {
        WorkCancellation cancel;
        const SourceFile::Opened opened = SourceFile::open(sixSheets().bytes, cancel);
        QCOMPARE(opened.textLayers.size(), 6);
        for (const QByteArray& layer : opened.textLayers)
            QVERIFY(!layer.isEmpty());
        QCOMPARE(opened.noTextPages, QSet<int>{4});
        // A page without text keeps an empty layer, not a missing one.
        QVERIFY(PageText::fromBytes(opened.textLayers[4]));
        QVERIFY(PageText::fromBytes(opened.textLayers[4])->allText().trimmed().isEmpty());
    }

    // Kept layers give exactly what interpreting the pages gives, and need
    // no PDF work: a helper that crashes on every page's text does not
    // disturb them.
    void readsSelectFromKeptLayers()
    {
        const QByteArray bytes = sixSheets().bytes;
        WorkCancellation cancel;
        const SourceFile::Opened opened = SourceFile::open(bytes, cancel);
        const QList<PageRead> fresh = DrawingWorkflow::read(bytes, textPages, regionsFor(textPages), cancel);
        QCOMPARE(fresh.size(), 5);
        QCOMPARE(fresh[0].number, QStringLiteral("A-100"));
        QCOMPARE(fresh[0].title, QStringLiteral("GROUND FLOOR PLAN 0"));
        QVERIFY(!fresh[0].warning);
        QVERIFY(fresh[3].warning);

        const HelperFault crashing("crash", -1, "text");
        QList<QPair<int, int>> progress;
        const QList<PageRead> kept = DrawingWorkflow::read(
            bytes, textPages, regionsFor(textPages), cancel,
            [&progress](int done, int total) { progress.append({done, total}); }, opened.textLayers);
        QCOMPARE(kept, fresh);
        QCOMPARE(progress.size(), 5);
        QCOMPARE(progress.last(), qMakePair(5, 5));

        // A page whose layer was not kept is interpreted again, and here
        // that fails: proof that only that page needed PDF work.
        KeptTextLayers partial = opened.textLayers;
        partial[2].clear();
        try {
            DrawingWorkflow::read(bytes, textPages, regionsFor(textPages), cancel, {}, partial);
            QFAIL("the read did not interpret the page without a kept layer");
        } catch (const PlanfolioError& e) {
            QCOMPARE(e.message(), QStringLiteral("The source PDF could not be read."));
        }
    }

    void boundKeepsWhatFitsAndTakesTheRestAgain()
    {
        const QByteArray bytes = sixSheets().bytes;
        WorkCancellation cancel;
        const SourceFile::Opened all = SourceFile::open(bytes, cancel);
        const qint64 one = all.textLayers[0].size();
        const qint64 saved = DrawingWorkflow::keptLayerLimit();
        DrawingWorkflow::setKeptLayerLimit(2 * one + one / 2);
        const SourceFile::Opened bounded = SourceFile::open(bytes, cancel);
        DrawingWorkflow::setKeptLayerLimit(saved);

        qint64 total = 0;
        int keptCount = 0;
        for (const QByteArray& layer : bounded.textLayers) {
            total += layer.size();
            keptCount += layer.isEmpty() ? 0 : 1;
        }
        QVERIFY(total <= 2 * one + one / 2);
        QVERIFY(keptCount >= 1 && keptCount < 6);
        // The scan itself is not bounded: every page was judged.
        QCOMPARE(bounded.noTextPages, QSet<int>{4});
        // Reads come out the same either way.
        QCOMPARE(DrawingWorkflow::read(bytes, textPages, regionsFor(textPages), cancel, {}, bounded.textLayers),
                 DrawingWorkflow::read(bytes, textPages, regionsFor(textPages), cancel, {}, all.textLayers));
    }

    void cancelledBeforeAKeptRead()
    {
        const QByteArray bytes = sixSheets().bytes;
        WorkCancellation cancel;
        const SourceFile::Opened opened = SourceFile::open(bytes, cancel);
        cancel.cancel();
        QVERIFY_THROWS_EXCEPTION(CancellationError, DrawingWorkflow::read(bytes, textPages, regionsFor(textPages),
                                                                          cancel, {}, opened.textLayers));
    }
};

QTEST_GUILESS_MAIN(TestKeptLayers)
#include "tst_keptlayers.moc"
