// Edge warnings judged on the glyphs as drawn: neighbouring lines whose
// character cells overlap a region's margin while their ink stands clear,
// ink that does lie within 2 pt, cut words at every border position, the
// reasons a warning gives (as the page is displayed), and names in the form
// a person types them.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "Workflow.h"

#include <QTest>

namespace {

const QString title = QStringLiteral("SHEET TITLE VALUE");
const QString neighbour = QStringLiteral("FIRM NAME");
const QString number = QStringLiteral("A-101");

// A title at baseline 100 (10 pt capitals: ink from the baseline up to
// about 107.3, its cell reaching about 2 pt below the baseline) with a
// line of flat-bottomed capitals above at baseline `neighbourBaseline`: its
// ink starts there, its cell about 2 pt lower. A number far to the right.
Fixtures::Built tightBlock(double neighbourBaseline, std::optional<int> rotate = std::nullopt)
{
    Fixtures::Page page;
    page.mediaBox = QRectF(0, 0, 842, 595);
    page.rotate = rotate;
    page.texts = {{title, 100, 100, 10}, {neighbour, 100, neighbourBaseline, 10}, {number, 500, 100, 10}};
    Fixtures::Document spec;
    spec.pages = {page};
    return Fixtures::build(spec);
}

// Regions that hold the title's ink with its top edge 0.3 pt above the
// capitals and every other edge far from any text; the number likewise.
PageRegions regionsOf(const Fixtures::Built& built)
{
    const QRectF box = built.boxOf(0, title);
    QRectF titleRegion(QPointF(box.left() - 5, 90), QPointF(box.right() + 5, 107.6));
    const QRectF numberBox = built.boxOf(0, number);
    return PageRegions(numberBox.adjusted(-5, -5, 5, 5), titleRegion);
}

PageRead readOnce(const Fixtures::Built& built)
{
    WorkCancellation cancel;
    return DrawingWorkflow::read(built.bytes, {0}, {{0, regionsOf(built)}}, cancel).value(0);
}

} // namespace

class TestInkEdges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clearInkDoesNotWarnWhereCellsOverlap();
    void inkWithinMarginWarnsAndSaysWhere();
    void edgesAreNamedAsDisplayed();
    void everyCutPositionWarns();
    void inkMatchesTheRenderedGlyphs();
    void typedForm_data();
    void typedForm();
    void readsTypographicHyphensAsTyped();
};

void TestInkEdges::clearInkDoesNotWarnWhereCellsOverlap()
{
    // Ink 2.6 pt above the region, the neighbour's cell inside the margin.
    const Fixtures::Built built = tightBlock(110.2);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    const PdfPage page = *document->page(0);
    PageText layer = page.textLayer();
    const QRectF titleRegion = *regionsOf(built).title;
    // The cells alone would warn: that is the case this guards.
    QVERIFY(DocumentSafety::read(layer, page.cropBox(), titleRegion).warning);
    QVERIFY(page.attachInk(layer));
    const DocumentSafety::RegionText judged = DocumentSafety::read(layer, page.cropBox(), titleRegion);
    QCOMPARE(judged.text, title);
    QVERIFY2(!judged.warning, qPrintable(judged.reasons.value(0).sentence()));

    // The whole read does the same.
    const PageRead read = readOnce(built);
    QCOMPARE(read.title, title);
    QCOMPARE(read.number, number);
    QVERIFY(!read.warning);
    QVERIFY(read.reasons.isEmpty());
}

void TestInkEdges::inkWithinMarginWarnsAndSaysWhere()
{
    // The neighbour's ink starts 1.5 pt above the region's top edge.
    const PageRead read = readOnce(tightBlock(109.1));
    QCOMPARE(read.title, title);
    QVERIFY(read.warning);
    QCOMPARE(read.reasons.size(), 1);
    const EdgeReason& reason = read.reasons.first();
    QCOMPARE(reason.kind, EdgeReason::Kind::Nearby);
    QCOMPARE(reason.region, QStringLiteral("Title region"));
    QCOMPARE(reason.text, neighbour);
    QCOMPARE(reason.edge, QStringLiteral("top"));
    QVERIFY2(std::abs(reason.distance - 1.5) < 0.1, qPrintable(QString::number(reason.distance)));
    QCOMPARE(reason.sentence(), QStringLiteral("Title region: \u2018FIRM NAME\u2019 lies 1.5 pt above the top edge"));
}

void TestInkEdges::edgesAreNamedAsDisplayed()
{
    // Turned a quarter clockwise, what lies above in the page's own space
    // shows to the right.
    const PageRead turned = readOnce(tightBlock(109.1, 90));
    QCOMPARE(turned.reasons.size(), 1);
    QCOMPARE(turned.reasons.first().edge, QStringLiteral("right"));
    const PageRead upsideDown = readOnce(tightBlock(109.1, 180));
    QCOMPARE(upsideDown.reasons.size(), 1);
    QCOMPARE(upsideDown.reasons.first().edge, QStringLiteral("bottom"));
}

void TestInkEdges::everyCutPositionWarns()
{
    // The right edge swept across the number and its neighbour's gap in
    // 0.25 pt steps: every reading that is not the whole number warns, and
    // a cut reads the word it cuts.
    const Fixtures::Built built = tightBlock(130);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    const PdfPage page = *document->page(0);
    PageText layer = page.textLayer();
    QVERIFY(page.attachInk(layer));
    const QRectF box = built.boxOf(0, number);
    int cuts = 0;
    for (double right = box.left() - 1; right <= box.right() + 4; right += 0.25) {
        const QRectF region(QPointF(box.left() - 5, box.top() - 5), QPointF(right, box.bottom() + 5));
        const DocumentSafety::RegionText got = DocumentSafety::read(layer, page.cropBox(), region);
        if (got.text != number) {
            QVERIFY2(got.warning, qPrintable(QStringLiteral("silent %1 at %2").arg(got.text).arg(right)));
            ++cuts;
            const bool namesNumber = std::any_of(got.reasons.cbegin(), got.reasons.cend(), [](const EdgeReason& r) {
                return r.text == number || r.kind == EdgeReason::Kind::Empty;
            });
            QVERIFY(namesNumber);
        }
    }
    QVERIFY(cuts > 10);
    // Held with 2.5 pt clear all round: no warning.
    const DocumentSafety::RegionText clear = DocumentSafety::read(layer, page.cropBox(), box.adjusted(-5, -5, 5, 5));
    QCOMPARE(clear.text, number);
    QVERIFY(!clear.warning);
}

void TestInkEdges::inkMatchesTheRenderedGlyphs()
{
    // Every character of the title has ink, inside its cell's span along
    // the line, and the title's ink agrees with a 288 dpi render within a
    // pixel of it.
    const Fixtures::Built built = tightBlock(130);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    const PdfPage page = *document->page(0);
    PageText layer = page.textLayer();
    QVERIFY(page.attachInk(layer));
    QRectF glyphInk;
    for (qsizetype i = 0; i < layer.chars().size(); ++i) {
        const PageText::Char& c = layer.chars()[i];
        if (c.ch.isSpace() || std::abs(c.centre.y() - 103) > 5 || c.centre.x() > 400)
            continue;
        const QRectF ink = layer.inkOf(i);
        QVERIFY(ink != c.box.normalized());
        glyphInk |= ink;
    }
    const double dpi = 288;
    const QRectF around = glyphInk.adjusted(-2, -2, 2, 2);
    const QImage image = page.renderRegion(around, dpi);
    const QRectF shown = page.displayTransform().mapRect(around);
    const QPointF origin(std::floor(shown.left() * dpi / 72), std::floor(shown.top() * dpi / 72));
    QRectF rendered;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 160)
                rendered |= QRectF((origin + QPointF(x, y)) * 72 / dpi, QSizeF(72 / dpi, 72 / dpi));
        }
    }
    rendered = page.displayTransform().inverted().mapRect(rendered);
    const double pixel = 72 / dpi;
    QVERIFY2(std::abs(rendered.top() - glyphInk.top()) <= 2 * pixel &&
                 std::abs(rendered.bottom() - glyphInk.bottom()) <= 2 * pixel &&
                 std::abs(rendered.left() - glyphInk.left()) <= 2 * pixel &&
                 std::abs(rendered.right() - glyphInk.right()) <= 2 * pixel,
             qPrintable(QStringLiteral("outline %1,%2 %3x%4 render %5,%6 %7x%8")
                            .arg(glyphInk.x())
                            .arg(glyphInk.y())
                            .arg(glyphInk.width())
                            .arg(glyphInk.height())
                            .arg(rendered.x())
                            .arg(rendered.y())
                            .arg(rendered.width())
                            .arg(rendered.height())));
}

void TestInkEdges::typedForm_data()
{
    QTest::addColumn<QString>("read");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<QString>("typed");
    QTest::newRow("hyphen") << QStringLiteral("100\u201000") << true << QStringLiteral("100-00");
    QTest::newRow("non-breaking hyphen") << QStringLiteral("A\u2011101") << false << QStringLiteral("A-101");
    QTest::newRow("soft hyphen") << QStringLiteral("MEZZA\u00ADNINE") << false << QStringLiteral("MEZZANINE");
    QTest::newRow("ligatures") << QStringLiteral("\uFB01nish \uFB02oor o\uFB03ce") << false
                               << QStringLiteral("finish floor office");
    QTest::newRow("figure dash in a number") << QStringLiteral("S\u2012201") << true << QStringLiteral("S-201");
    QTest::newRow("minus sign in a number") << QStringLiteral("E\u22121") << true << QStringLiteral("E-1");
    QTest::newRow("minus sign in a title") << QStringLiteral("LEVEL \u22121") << false
                                           << QStringLiteral("LEVEL \u22121");
    QTest::newRow("en dash stays") << QStringLiteral("A \u2013 B") << true << QStringLiteral("A \u2013 B");
}

void TestInkEdges::typedForm()
{
    QFETCH(QString, read);
    QFETCH(bool, isNumber);
    QFETCH(QString, typed);
    QCOMPARE(DocumentSafety::typedText(read, isNumber), typed);
}

void TestInkEdges::readsTypographicHyphensAsTyped()
{
    // A soft hyphen in the title (WinAnsi 173) is dropped by the read, and
    // both selections drop it alike: no warning from the comparison.
    Fixtures::Page page;
    page.mediaBox = QRectF(0, 0, 842, 595);
    page.texts = {{QStringLiteral("A-201"), 500, 100, 10}, {QStringLiteral("MEZZA\u00ADNINE PLAN"), 100, 100, 10}};
    Fixtures::Document spec;
    spec.pages = {page};
    const Fixtures::Built built = Fixtures::build(spec);
    const PageRegions regions(built.boxOf(0, QStringLiteral("A-201")).adjusted(-5, -5, 5, 5),
                              built.boxOf(0, QStringLiteral("MEZZA\u00ADNINE PLAN")).adjusted(-5, -5, 5, 5));
    WorkCancellation cancel;
    const PageRead read = DrawingWorkflow::read(built.bytes, {0}, {{0, regions}}, cancel).value(0);
    QCOMPARE(read.title, QStringLiteral("MEZZANINE PLAN"));
    QVERIFY(!read.warning);
}

QTEST_GUILESS_MAIN(TestInkEdges)
#include "tst_inkedges.moc"
