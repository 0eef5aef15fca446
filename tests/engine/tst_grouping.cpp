// Geometry grouping: founding order, the earliest matching representative,
// the exact group descriptions, progress and cancellation.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "Workflow.h"

#include <QtTest>

namespace {

using Pages = QList<Fixtures::Page>;
using Groups = QList<QList<int>>;

const QRectF a4Portrait(0, 0, 595, 842);
const QRectF a3Landscape(0, 0, 1191, 842);

Fixtures::Page page(const QRectF& media, std::optional<int> rotate = std::nullopt,
                    std::optional<QRectF> crop = std::nullopt)
{
    Fixtures::Page p;
    p.mediaBox = media;
    p.rotate = rotate;
    p.cropBox = crop;
    return p;
}

std::unique_ptr<PdfDocument> open(const Pages& pages)
{
    Fixtures::Document doc;
    doc.pages = pages;
    return PdfDocument::open(Fixtures::build(doc).bytes);
}

Groups pagesOf(const QList<DrawingGroup>& groups)
{
    Groups result;
    for (const DrawingGroup& group : groups)
        result.append(group.pages);
    return result;
}

} // namespace

class GroupingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groups_data();
    void groups();
    void descriptions_data();
    void descriptions();
    void progressAfterEveryPage();
    void cancellationNeverYieldsAPartialList();
    void cancelledBeforeTheFirstPage();
};

void GroupingTest::groups_data()
{
    QTest::addColumn<Pages>("pages");
    QTest::addColumn<Groups>("groups");

    QTest::newRow("one page") << Pages{page(a4Portrait)} << Groups{{0}};
    QTest::newRow("A4, A3, A4, A3 in founding order")
        << Pages{page(a4Portrait), page(a3Landscape), page(a4Portrait), page(a3Landscape)} << Groups{{0, 2}, {1, 3}};
    QTest::newRow("A3 first founds group 1")
        << Pages{page(a3Landscape), page(a4Portrait), page(a3Landscape)} << Groups{{0, 2}, {1}};
    // 0.3 lies within 0.5 of both 0 and 0.6, which are 0.6 apart.
    QTest::newRow("matching two representatives joins the earlier")
        << Pages{page(QRectF(0, 0, 600, 800)), page(QRectF(0.6, 0, 600, 800)), page(QRectF(0.3, 0, 600, 800))}
        << Groups{{0, 2}, {1}};
    // 0.8 is within 0.5 of the second member (0.4) but not of the first (0).
    QTest::newRow("compared with the representative only")
        << Pages{page(QRectF(0, 0, 600, 800)), page(QRectF(0.4, 0, 600, 800)), page(QRectF(0.8, 0, 600, 800))}
        << Groups{{0, 1}, {2}};
    QTest::newRow("90 and 450 share a group") << Pages{page(a4Portrait, 90), page(a4Portrait, 450)} << Groups{{0, 1}};
    QTest::newRow("rotation splits equal boxes")
        << Pages{page(a4Portrait, 0), page(a4Portrait, 90), page(a4Portrait, 360)} << Groups{{0, 2}, {1}};
    QTest::newRow("crop box splits equal media boxes")
        << Pages{page(a4Portrait), page(a4Portrait, {}, QRectF(10, 10, 575, 822))} << Groups{{0}, {1}};
}

void GroupingTest::groups()
{
    QFETCH(Pages, pages);
    QFETCH(Groups, groups);
    const std::unique_ptr<PdfDocument> document = open(pages);
    QVERIFY(document);
    WorkCancellation cancel;
    QCOMPARE(pagesOf(DrawingWorkflow::groups(*document, cancel)), groups);
}

void GroupingTest::descriptions_data()
{
    QTest::addColumn<Pages>("pages");
    QTest::addColumn<QStringList>("descriptions");

    QTest::newRow("one page, still \"pages\"")
        << Pages{page(QRectF(0, 0, 2384, 1684))}
        << QStringList{QStringLiteral("Group 1 \u00B7 1 pages \u00B7 2384\u00D71684 pt \u00B7 0\u00B0")};
    QTest::newRow("sizes truncated, crop box used")
        << Pages{page(QRectF(0, 0, 2400, 1700), {}, QRectF(10, 10, 2383.94, 1683.99)),
                 page(QRectF(0, 0, 2400, 1700), {}, QRectF(10, 10, 2383.94, 1683.99))}
        << QStringList{QStringLiteral("Group 1 \u00B7 2 pages \u00B7 2383\u00D71683 pt \u00B7 0\u00B0")};
    QTest::newRow("stored rotation shown as stored")
        << Pages{page(a4Portrait, -90), page(a4Portrait, 270), page(a3Landscape, 450)}
        << QStringList{QStringLiteral("Group 1 \u00B7 2 pages \u00B7 595\u00D7842 pt \u00B7 -90\u00B0"),
                       QStringLiteral("Group 2 \u00B7 1 pages \u00B7 1191\u00D7842 pt \u00B7 450\u00B0")};
}

void GroupingTest::descriptions()
{
    QFETCH(Pages, pages);
    QFETCH(QStringList, descriptions);
    const std::unique_ptr<PdfDocument> document = open(pages);
    QVERIFY(document);
    WorkCancellation cancel;
    QStringList found;
    for (const DrawingGroup& group : DrawingWorkflow::groups(*document, cancel))
        found.append(group.description);
    QCOMPARE(found, descriptions);
}

void GroupingTest::progressAfterEveryPage()
{
    const std::unique_ptr<PdfDocument> document =
        open({page(a4Portrait), page(a3Landscape), page(a4Portrait)});
    QVERIFY(document);
    WorkCancellation cancel;
    QList<QPair<int, int>> calls;
    DrawingWorkflow::groups(*document, cancel, [&](int done, int total) { calls.append({done, total}); });
    const QList<QPair<int, int>> expected{{1, 3}, {2, 3}, {3, 3}};
    QCOMPARE(calls, expected);
}

void GroupingTest::cancellationNeverYieldsAPartialList()
{
    const std::unique_ptr<PdfDocument> document =
        open({page(a4Portrait), page(a3Landscape), page(a4Portrait), page(a3Landscape)});
    QVERIFY(document);
    WorkCancellation cancel;
    int lastDone = 0;
    QList<DrawingGroup> result{DrawingGroup{{99}, QStringLiteral("untouched")}};
    QVERIFY_THROWS_EXCEPTION(CancellationError, result = DrawingWorkflow::groups(*document, cancel, [&](int done, int) {
        lastDone = done;
        if (done == 2)
            cancel.cancel();
    }));
    // The check before page 3 stops the work; nothing was handed back.
    QCOMPARE(lastDone, 2);
    QCOMPARE(result.size(), 1);
    QCOMPARE(result.first().description, QStringLiteral("untouched"));
}

void GroupingTest::cancelledBeforeTheFirstPage()
{
    const std::unique_ptr<PdfDocument> document = open({page(a4Portrait)});
    QVERIFY(document);
    WorkCancellation cancel;
    cancel.cancel();
    int calls = 0;
    QVERIFY_THROWS_EXCEPTION(CancellationError,
                             DrawingWorkflow::groups(*document, cancel, [&](int, int) { ++calls; }));
    QCOMPARE(calls, 0);
}

QTEST_GUILESS_MAIN(GroupingTest)
#include "tst_grouping.moc"
