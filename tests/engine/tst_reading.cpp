// Region reading: whitespace normalisation, edge warnings, region validation,
// order, progress, cancellation and the error a multi-threaded read reports.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PageParallel.h"
#include "PdfDocument.h"
#include "TestPaths.h"
#include "Workflow.h"

#include <QFile>
#include <QImage>
#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <limits>

Q_DECLARE_METATYPE(Fixtures::Page)
Q_DECLARE_METATYPE(std::optional<QRectF>)

namespace {

const QString number101 = QStringLiteral("A-101");

// A page with a title block: the number, and a title set on two lines
// ("GROUND" above "FLOOR  PLAN", two spaces inside) near (x, y).
Fixtures::Page titleBlockPage(double x, double y)
{
    Fixtures::Page page;
    page.texts = {{number101, x, y + 40, 10},
                  {QStringLiteral("GROUND"), x, y + 12, 10},
                  {QStringLiteral("FLOOR  PLAN"), x, y, 10},
                  {QStringLiteral("Unrelated note far away"), x, y + 200, 10}};
    return page;
}

// The regions that hold the number and the two title lines of a page made
// by titleBlockPage, with a margin of 3 pt (more than the 2 pt edge margin).
PageRegions blockRegions(const Fixtures::Built& built, int page)
{
    const QRectF number = built.boxOf(page, number101).adjusted(-3, -3, 3, 3);
    const QRectF title = built.boxOf(page, QStringLiteral("GROUND"))
                             .united(built.boxOf(page, QStringLiteral("FLOOR  PLAN")))
                             .adjusted(-3, -3, 3, 3);
    return PageRegions(number, title);
}

// A document of `count` pages each with a number "N-<i>" and title
// "Title <i>" in the same place.
Fixtures::Built numberedSet(int count)
{
    Fixtures::Document spec;
    for (int i = 0; i < count; ++i) {
        Fixtures::Page page;
        page.texts = {{QStringLiteral("N-%1").arg(i), 400, 60, 10},
                      {QStringLiteral("Title %1").arg(i), 400, 40, 10}};
        spec.pages.append(page);
    }
    return Fixtures::build(spec);
}

PageRegions numberedRegions()
{
    return PageRegions(QRectF(395, 55, 80, 16), QRectF(395, 30, 120, 20));
}

// One page's text layer and crop box, read as the read task reads them.
struct OnePage
{
    Fixtures::Built built;
    std::unique_ptr<PdfDocument> document;
    PageText layer;
    QRectF crop;

    explicit OnePage(const Fixtures::Page& page)
    {
        Fixtures::Document spec;
        spec.pages = {page};
        built = Fixtures::build(spec);
        document = PdfDocument::open(built.bytes);
        if (document) {
            const PdfPage p = *document->page(0);
            layer = p.textLayer();
            crop = p.cropBox();
        }
    }
    DocumentSafety::RegionText read(const QRectF& region) const
    {
        return DocumentSafety::read(layer, crop, region);
    }
};

// How a page is laid out around the text it holds, for the edge tests.
struct Layout
{
    std::optional<int> rotate;
    std::optional<QRectF> cropBox;
    double angle = 0; // the text drawn turned on the page
};

QString messageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const PlanfolioError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

Q_DECLARE_METATYPE(Layout)

class TestReading : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void collapsesWhitespace_data();
    void collapsesWhitespace();
    void readsAcrossLayouts_data();
    void readsAcrossLayouts();
    void warnsAtRegionEdges();
    void warnsWhereBorderCutsText_data();
    void warnsWhereBorderCutsText();
    void warnsForTextJustOutside();
    void carefulRegionsOnAnotherProducersDrawing();
    void validatesRegions_data();
    void validatesRegions();
    void reportsFirstBadPageInRequestedOrder();
    void readsInRequestedOrderWithProgress();
    void emptyListAndUnreadableBytes();
    void cancels();
    void parallelRunReportsLowestFailure();
};

void TestReading::collapsesWhitespace_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading, trailing, line break") << QStringLiteral("  A-101\n ") << number101;
    QTest::newRow("two lines, double space")
        << QStringLiteral("GROUND\nFLOOR  PLAN") << QStringLiteral("GROUND FLOOR PLAN");
    QTest::newRow("tab, CR LF, no-break space")
        << QStringLiteral("A\t\r\nB\u00A0C") << QStringLiteral("A B C");
    QTest::newRow("NEL, line and paragraph separators")
        << QStringLiteral("A\u0085B\u2028C\u2029D") << QStringLiteral("A B C D");
    QTest::newRow("ideographic and narrow spaces")
        << QStringLiteral("\u3000A\u202FB\u2009") << QStringLiteral("A B");
    QTest::newRow("zero-width space is not whitespace")
        << QStringLiteral("A\u200BB") << QStringLiteral("A\u200BB");
    QTest::newRow("only whitespace") << QStringLiteral(" \n\t ") << QString();
    QTest::newRow("astral characters kept")
        << QStringLiteral("\U0001D400 x") << QStringLiteral("\U0001D400 x");
}

void TestReading::collapsesWhitespace()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(DocumentSafety::collapseWhitespace(input), expected);
}

void TestReading::readsAcrossLayouts_data()
{
    QTest::addColumn<Fixtures::Page>("page");
    Fixtures::Page plain = titleBlockPage(300, 100);
    QTest::newRow("rotation 0") << plain;
    Fixtures::Page r90 = plain;
    r90.rotate = 90;
    QTest::newRow("rotation 90") << r90;
    Fixtures::Page r270 = plain;
    r270.rotate = 270;
    QTest::newRow("rotation 270") << r270;
    Fixtures::Page rMinus90 = plain;
    rMinus90.rotate = -90;
    QTest::newRow("rotation -90 as stored") << rMinus90;
    Fixtures::Page cropped = plain;
    cropped.cropBox = QRectF(250, 60, 300, 400);
    QTest::newRow("offset crop box") << cropped;
    Fixtures::Page negative = titleBlockPage(-200, -300);
    negative.mediaBox = QRectF(-400, -500, 800, 1000);
    negative.cropBox = QRectF(-300, -400, 600, 600);
    negative.rotate = 90;
    QTest::newRow("negative origin, crop box, rotation 90") << negative;
}

void TestReading::readsAcrossLayouts()
{
    QFETCH(Fixtures::Page, page);
    Fixtures::Document spec;
    spec.pages = {page};
    const Fixtures::Built built = Fixtures::build(spec);
    WorkCancellation cancel;
    const QList<PageRead> reads =
        DrawingWorkflow::read(built.bytes, {0}, {{0, blockRegions(built, 0)}}, cancel);
    QCOMPARE(reads, (QList<PageRead>{PageRead{0, number101, QStringLiteral("GROUND FLOOR PLAN"), false, {}}}));
}

void TestReading::warnsAtRegionEdges()
{
    // "A-101" at 10 pt: A 6.67, - 3.33, 1 5.56, 0 5.56 pt wide. A region
    // ending 1.5 pt after "A-1" misses the centre of "0" (2.78 pt further)
    // but its 2 pt margin catches it. "7" at 6 pt is 3.34 pt wide: a region
    // starting 0.2 pt after it is 1.87 pt from its centre.
    Fixtures::Document spec;
    Fixtures::Page page;
    page.texts = {{number101, 100, 700, 10}, {QStringLiteral("7"), 100, 500, 6}};
    spec.pages = {page};
    const Fixtures::Built built = Fixtures::build(spec);
    const QRectF numberBox = built.boxOf(0, number101);
    const QRectF sevenBox = built.boxOf(0, QStringLiteral("7"));
    const double cutRight = numberBox.left() + Fixtures::textWidth(QStringLiteral("A-1"), 10) + 1.5;
    const QRectF cut(QPointF(numberBox.left() - 5, numberBox.top() - 5),
                     QPointF(cutRight, numberBox.bottom() + 5));
    const QRectF nearby(QPointF(sevenBox.right() + 0.2, sevenBox.top() - 5),
                        QSizeF(40, sevenBox.height() + 10));
    const QRectF nothing(100, 300, 80, 30);
    const QRectF exact = numberBox.adjusted(-3, -3, 3, 3);

    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const PdfPage pdfPage = *document->page(0);
    const PageText layer = pdfPage.textLayer();
    const QRectF crop = pdfPage.cropBox();
    auto check = [&](const QRectF& box, const QString& text, bool warning) {
        const DocumentSafety::RegionText got = DocumentSafety::read(layer, crop, box);
        QCOMPARE(got.text, text);
        QCOMPARE(got.warning, warning);
    };
    check(exact, number101, false);
    check(cut, QStringLiteral("A-1"), true);
    check(nearby, QStringLiteral("7"), true);
    check(nothing, QString(), true);
    // A region beyond the crop box: its widened box is clipped to nothing.
    check(QRectF(700, 100, 40, 40), QString(), true);

    // The same through the page read: one cut region warns the whole page.
    WorkCancellation cancel;
    const QList<PageRead> reads =
        DrawingWorkflow::read(built.bytes, {0}, {{0, PageRegions(cut, nothing)}}, cancel);
    QCOMPARE(reads, (QList<PageRead>{PageRead{0, QStringLiteral("A-1"), QString(), true, {}}}));
}

void TestReading::warnsWhereBorderCutsText_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<Layout>("layout");
    const QList<std::pair<const char*, Layout>> layouts = {
        {"upright", {}},
        {"/Rotate 90", {90, std::nullopt, 0}},
        {"/Rotate 270", {270, std::nullopt, 0}},
        {"offset crop box", {std::nullopt, QRectF(150, 250, 400, 300), 0}},
        {"drawn at 90 degrees", {std::nullopt, std::nullopt, 90}},
        {"drawn at 270 degrees, /Rotate 90", {90, std::nullopt, 270}},
    };
    for (const double size : {8.0, 12.0, 24.0, 40.0}) {
        for (const auto& [name, layout] : layouts)
            QTest::addRow("%g pt, %s", size, name) << size << layout;
    }
}

void TestReading::warnsWhereBorderCutsText()
{
    // Each side of a region around "A-001" is swept across the number in
    // 0.5 pt steps while the other three stay 3 pt clear of it: wherever
    // the reading is not the whole number, it must carry a warning. A
    // region 3 pt clear of the characters' cells, or 3 pt clear of their
    // ink (Helvetica's glyph outlines: "A" from 14/1000 em, "1" ending
    // 197/1000 em short of its advance, baseline up to cap height 718/1000
    // em), reads the number silently.
    QFETCH(double, size);
    QFETCH(Layout, layout);
    const QString number = QStringLiteral("A-001");
    Fixtures::Page page;
    page.rotate = layout.rotate;
    page.cropBox = layout.cropBox;
    page.texts = {{number, 300, 400, size, 0, layout.angle}};
    const OnePage sheet(page);
    QVERIFY(sheet.document);
    const QRectF box = sheet.built.boxOf(0, number);

    int truncated = 0;
    for (int side = 0; side < 4; ++side) {
        const bool vertical = side < 2;
        const double from = vertical ? box.left() : box.top();
        const double to = vertical ? box.right() : box.bottom();
        for (double at = from + 0.5; at < to; at += 0.5) {
            QRectF region = box.adjusted(-3, -3, 3, 3);
            if (side == 0)
                region.setLeft(at);
            else if (side == 1)
                region.setRight(at);
            else if (side == 2)
                region.setTop(at);
            else
                region.setBottom(at);
            const DocumentSafety::RegionText got = sheet.read(region);
            if (got.text != number) {
                ++truncated;
                QVERIFY2(got.warning,
                         qPrintable(QStringLiteral("side %1 at %2 reads \"%3\" without a warning")
                                        .arg(side)
                                        .arg(at - from)
                                        .arg(got.text)));
            }
        }
    }
    QVERIFY(truncated > 0);

    const DocumentSafety::RegionText aroundCells = sheet.read(box.adjusted(-3, -3, 3, 3));
    QCOMPARE(aroundCells.text, number);
    QVERIFY(!aroundCells.warning);

    // The ink, in the text's own frame, turned as the text is drawn.
    const double em = size / 1000.0;
    const double length = Fixtures::textWidth(number, size);
    QRectF ink(QPointF(300 + 14 * em, 400), QPointF(300 + length - 197 * em, 400 + 718 * em));
    QTransform turn;
    turn.translate(300, 400);
    turn.rotate(layout.angle);
    turn.translate(-300, -400);
    ink = turn.mapRect(ink);
    const DocumentSafety::RegionText aroundInk = sheet.read(ink.adjusted(-3, -3, 3, 3));
    QCOMPARE(aroundInk.text, number);
    QVERIFY(!aroundInk.warning);
}

void TestReading::warnsForTextJustOutside()
{
    // A number with "REV" after it on its baseline, and a two-line title
    // with a line of small print below it.
    Fixtures::Page page;
    const QString number = QStringLiteral("A-001");
    page.texts = {{number, 100, 600, 36},
                  {QStringLiteral("REV"), 260, 600, 36},
                  {QStringLiteral("GROUND FLOOR"), 100, 400, 24},
                  {QStringLiteral("PLAN"), 100, 372, 24},
                  {QStringLiteral("SCALE 1:100"), 100, 340, 8}};
    const OnePage sheet(page);
    QVERIFY(sheet.document);
    const QRectF numberBox = sheet.built.boxOf(0, number);
    const QRectF rev = sheet.built.boxOf(0, QStringLiteral("REV"));
    const QRectF first = sheet.built.boxOf(0, QStringLiteral("GROUND FLOOR"));
    const QRectF second = sheet.built.boxOf(0, QStringLiteral("PLAN"));
    const QRectF scale = sheet.built.boxOf(0, QStringLiteral("SCALE 1:100"));

    struct Case
    {
        const char* what;
        QRectF region;
        QString text;
        bool warning;
    };
    const auto withRight = [](QRectF r, double right) {
        r.setRight(right);
        return r;
    };
    const auto withBottom = [](QRectF r, double bottom) {
        r.setTop(bottom); // user space: top() is the lower edge
        return r;
    };
    const QRectF numberRegion = numberBox.adjusted(-3, -3, 3, 3);
    const QRectF titleRegion = first.united(second).adjusted(-3, -3, 3, 3);
    const QList<Case> cases = {
        {"REV 1 pt outside", withRight(numberRegion, rev.left() - 1), number, true},
        {"REV 1.9 pt outside", withRight(numberRegion, rev.left() - 1.9), number, true},
        {"REV 2.5 pt outside", withRight(numberRegion, rev.left() - 2.5), number, false},
        {"REV cut", withRight(numberRegion, rev.left() + 2), number, true},
        {"both lines, small print 2.5 pt below", withBottom(titleRegion, scale.bottom() + 2.5),
         QStringLiteral("GROUND FLOOR PLAN"), false},
        {"small print 1 pt below", withBottom(titleRegion, scale.bottom() + 1),
         QStringLiteral("GROUND FLOOR PLAN"), true},
        {"bottom edge through the top of the second line", withBottom(titleRegion, second.bottom() - 4),
         QStringLiteral("GROUND FLOOR"), true},
        {"bottom edge just into the second line", withBottom(titleRegion, second.bottom() - 0.5),
         QStringLiteral("GROUND FLOOR"), true},
        {"first line alone, clear of the second", withBottom(titleRegion, second.bottom() + 2.5),
         QStringLiteral("GROUND FLOOR"), false},
    };
    for (const Case& c : cases) {
        const DocumentSafety::RegionText got = sheet.read(c.region);
        QVERIFY2(got.text == c.text, c.what);
        QVERIFY2(got.warning == c.warning, c.what);
    }
}

void TestReading::carefulRegionsOnAnotherProducersDrawing()
{
    // A CAD program's drawing: the character cells it gives the text layer
    // reach about 10 pt below the ink of its 48 pt note and 2 pt above it.
    // Regions drawn 3 pt clear of the ink, as a user sees it, read without
    // a warning; one that cuts a word does warn.
    QFile file(TestPaths::corpusDir() + QStringLiteral("/pdfjs-ansi-C-drawing-titleblock.pdf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(file.readAll());
    QVERIFY(document);
    const PdfPage page = *document->page(0);
    const PageText layer = page.textLayer();
    const auto wordBox = [&](const QString& text) {
        for (const PageText::Word& w : layer.words()) {
            if (w.text == text)
                return w.box;
        }
        return QRectF();
    };
    // The ink inside `around`: the dark pixels of a 288 dpi render, back in
    // user space.
    const auto inkOf = [&](const QRectF& around) {
        const double dpi = 288;
        const QImage image = page.renderRegion(around, dpi);
        const QRectF shown = page.displayTransform().mapRect(around);
        const QPointF origin(std::floor(shown.left() * dpi / 72), std::floor(shown.top() * dpi / 72));
        QRectF ink;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128)
                    ink |= QRectF((origin + QPointF(x, y)) * 72 / dpi, QSizeF(72 / dpi, 72 / dpi));
            }
        }
        return page.displayTransform().inverted().mapRect(ink);
    };
    const QRectF test = wordBox(QStringLiteral("Test"));
    const QRectF plus = wordBox(QStringLiteral("Plus"));
    const QRectF minus = wordBox(QStringLiteral("minus"));
    QVERIFY(!test.isNull() && !plus.isNull() && !minus.isNull());
    const QRectF lineInk = inkOf(test.united(minus).adjusted(-1, -1, 1, 1));
    const QRectF plusInk = inkOf(plus.adjusted(-1, -1, 1, 1));
    QVERIFY(lineInk.height() > 30 && plusInk.width() > 60);
    const QRectF crop = page.cropBox();

    const DocumentSafety::RegionText line = DocumentSafety::read(layer, crop, lineInk.adjusted(-3, -3, 3, 3));
    QCOMPARE(line.text, QStringLiteral("Test Plus minus"));
    QVERIFY(!line.warning);
    const DocumentSafety::RegionText word = DocumentSafety::read(layer, crop, plusInk.adjusted(-3, -3, 3, 3));
    QCOMPARE(word.text, QStringLiteral("Plus"));
    QVERIFY(!word.warning);
    QRectF cut = plusInk.adjusted(-3, -3, 3, 3);
    cut.setRight(plus.left() + 0.6 * plus.width());
    QVERIFY(DocumentSafety::read(layer, crop, cut).warning);
}

void TestReading::validatesRegions_data()
{
    QTest::addColumn<std::optional<QRectF>>("number");
    QTest::addColumn<std::optional<QRectF>>("title");
    QTest::addColumn<int>("pageIndex");
    QTest::addColumn<QString>("message"); // empty: the read succeeds

    const QString small = QStringLiteral("Regions on page 1 are too small or overlap.");
    const QString select = QStringLiteral("Select number and title regions for page 1.");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QRectF title(300, 100, 200, 40);
    QTest::newRow("number 3.0 wide") << std::optional(QRectF(100, 100, 3.0, 20)) << std::optional(title) << 0
                                     << small;
    QTest::newRow("number 3.01 wide")
        << std::optional(QRectF(100, 100, 3.01, 20)) << std::optional(title) << 0 << QString();
    QTest::newRow("number 3.0 high") << std::optional(QRectF(100, 100, 20, 3.0)) << std::optional(title) << 0
                                     << small;
    QTest::newRow("title 3.0 wide") << std::optional(QRectF(100, 100, 20, 20))
                                    << std::optional(QRectF(300, 100, 3.0, 40)) << 0 << small;
    QTest::newRow("title 3.01 high") << std::optional(QRectF(100, 100, 20, 20))
                                     << std::optional(QRectF(300, 100, 50, 3.01)) << 0 << QString();
    QTest::newRow("NaN width") << std::optional(QRectF(100, 100, nan, 20)) << std::optional(title) << 0
                               << small;
    QTest::newRow("NaN origin") << std::optional(QRectF(nan, 100, 20, 20)) << std::optional(title) << 0
                                << small;
    QTest::newRow("number inside title")
        << std::optional(QRectF(320, 110, 20, 10)) << std::optional(title) << 0 << small;
    QTest::newRow("overlap by 0.01 pt")
        << std::optional(QRectF(200, 100, 100.01, 40)) << std::optional(title) << 0 << small;
    QTest::newRow("touching along an edge")
        << std::optional(QRectF(200, 100, 100, 40)) << std::optional(title) << 0 << QString();
    QTest::newRow("touching top to bottom")
        << std::optional(QRectF(300, 60, 200, 40)) << std::optional(title) << 0 << QString();
    QTest::newRow("no title region") << std::optional(QRectF(100, 100, 20, 20)) << std::optional<QRectF>()
                                     << 0 << select;
    QTest::newRow("no number region") << std::optional<QRectF>() << std::optional(title) << 0 << select;
    QTest::newRow("page past the end") << std::optional(QRectF(100, 100, 20, 20)) << std::optional(title) << 1
                                       << QStringLiteral("Select number and title regions for page 2.");
    QTest::newRow("tiny regions on a missing page")
        << std::optional(QRectF(100, 100, 1, 1)) << std::optional(title) << 5
        << QStringLiteral("Select number and title regions for page 6.");
}

void TestReading::validatesRegions()
{
    QFETCH(std::optional<QRectF>, number);
    QFETCH(std::optional<QRectF>, title);
    QFETCH(int, pageIndex);
    QFETCH(QString, message);
    const Fixtures::Built built = numberedSet(1);
    WorkCancellation cancel;
    const QMap<int, PageRegions> regions{{pageIndex, PageRegions(number, title)}};
    if (message.isEmpty()) {
        QCOMPARE(DrawingWorkflow::read(built.bytes, {pageIndex}, regions, cancel).size(), 1);
    } else {
        QCOMPARE(messageOf([&] { DrawingWorkflow::read(built.bytes, {pageIndex}, regions, cancel); }),
                 message);
    }
}

void TestReading::reportsFirstBadPageInRequestedOrder()
{
    // Every bad page fails fast, so with two threads the later bad pages
    // may well fail first; the message is still that of the first bad page
    // in the requested order. Repeated to give the threads many chances.
    const Fixtures::Built built = numberedSet(12);
    QMap<int, PageRegions> regions;
    for (int i = 0; i < 12; ++i)
        regions.insert(i, numberedRegions());
    regions[9] = PageRegions(QRectF(10, 10, 2, 2), QRectF(100, 100, 50, 50));
    regions.remove(4);
    regions[2] = PageRegions(QRectF(10, 10, 50, 50), QRectF(20, 20, 50, 50));
    WorkCancellation cancel;
    for (int round = 0; round < 10; ++round) {
        QCOMPARE(messageOf([&] {
                     DrawingWorkflow::read(built.bytes, {11, 9, 0, 4, 2}, regions, cancel);
                 }),
                 QStringLiteral("Regions on page 10 are too small or overlap."));
        QCOMPARE(messageOf([&] {
                     DrawingWorkflow::read(built.bytes, {4, 9, 2}, regions, cancel);
                 }),
                 QStringLiteral("Select number and title regions for page 5."));
        QCOMPARE(messageOf([&] {
                     DrawingWorkflow::read(built.bytes, {0, 1, 3, 2, 9}, regions, cancel);
                 }),
                 QStringLiteral("Regions on page 3 are too small or overlap."));
    }
}

void TestReading::readsInRequestedOrderWithProgress()
{
    const Fixtures::Built built = numberedSet(10);
    QMap<int, PageRegions> regions;
    for (int i = 0; i < 10; ++i)
        regions.insert(i, numberedRegions());
    WorkCancellation cancel;
    QList<QPair<int, int>> calls;
    const QList<PageRead> reads =
        DrawingWorkflow::read(built.bytes, {7, 2}, regions, cancel, [&](int done, int total) {
            calls.append({done, total});
        });
    QCOMPARE(reads, (QList<PageRead>{PageRead{7, QStringLiteral("N-7"), QStringLiteral("Title 7"), false, {}},
                                     PageRead{2, QStringLiteral("N-2"), QStringLiteral("Title 2"), false, {}}}));
    QCOMPARE(calls, (QList<QPair<int, int>>{{1, 2}, {2, 2}}));

    // Every page, reversed, and one page twice.
    QList<int> pages;
    for (int i = 9; i >= 0; --i)
        pages.append(i);
    pages.append(9);
    calls.clear();
    const QList<PageRead> all =
        DrawingWorkflow::read(built.bytes, pages, regions, cancel, [&](int done, int total) {
            calls.append({done, total});
        });
    QCOMPARE(all.size(), pages.size());
    for (int k = 0; k < pages.size(); ++k) {
        QCOMPARE(all[k].index, pages[k]);
        QCOMPARE(all[k].number, QStringLiteral("N-%1").arg(pages[k]));
        QCOMPARE(calls[k], qMakePair(k + 1, int(pages.size())));
    }
    QCOMPARE(calls.size(), pages.size());
}

void TestReading::emptyListAndUnreadableBytes()
{
    const Fixtures::Built built = numberedSet(2);
    WorkCancellation cancel;
    int calls = 0;
    QVERIFY(DrawingWorkflow::read(built.bytes, {}, {}, cancel, [&](int, int) { ++calls; }).isEmpty());
    QCOMPARE(calls, 0);

    const QString unreadable = QStringLiteral("The source PDF could not be read.");
    const QMap<int, PageRegions> regions{{0, numberedRegions()}};
    QCOMPARE(messageOf([&] { DrawingWorkflow::read(QByteArray(), {0}, regions, cancel); }), unreadable);
    QCOMPARE(messageOf([&] { DrawingWorkflow::read("not a PDF at all", {0}, regions, cancel); }), unreadable);
    QCOMPARE(messageOf(
                 [&] { DrawingWorkflow::read(Fixtures::truncated(built.bytes, 200), {0}, regions, cancel); }),
             unreadable);
    // An unreadable file is unreadable even for an empty page list.
    QCOMPARE(messageOf([&] { DrawingWorkflow::read("%PDF-1.7 junk", {}, {}, cancel); }), unreadable);
}

void TestReading::cancels()
{
    const Fixtures::Built built = numberedSet(6);
    QMap<int, PageRegions> regions;
    for (int i = 0; i < 6; ++i)
        regions.insert(i, numberedRegions());
    const QList<int> pages{0, 1, 2, 3, 4, 5};

    // Before any work: even unreadable bytes and an empty list give the
    // cancellation.
    {
        WorkCancellation cancel;
        cancel.cancel();
        QVERIFY_THROWS_EXCEPTION(CancellationError, DrawingWorkflow::read("junk", {}, {}, cancel));
    }
    // From the progress callback after the first page, and after the last
    // page (only the final check can notice it).
    for (int at : {1, 6}) {
        WorkCancellation cancel;
        int lastDone = 0;
        QVERIFY_THROWS_EXCEPTION(
            CancellationError, DrawingWorkflow::read(built.bytes, pages, regions, cancel, [&](int done, int) {
                lastDone = done;
                if (done == at)
                    cancel.cancel();
            }));
        QVERIFY(lastDone >= at);
    }
}

void TestReading::parallelRunReportsLowestFailure()
{
    // Positions 0 and 1 run on the two threads and both fail, in either
    // order in time. The earlier position's error is the one reported, and
    // nothing after the failures is started.
    const Fixtures::Built built = numberedSet(1);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    WorkCancellation cancel;
    for (const int firstToFail : {1, 0}) {
        QSemaphore failed;
        QSemaphore otherStarted;
        std::atomic<int> started{0};
        QString message;
        try {
            PageParallel::run(
                *document, 8, cancel, {},
                [&](int position, const PdfDocument&) {
                    ++started;
                    if (position > 1)
                        return;
                    // Waits are bounded only so that a machine without a
                    // second thread still ends.
                    if (position == firstToFail) {
                        if (position == 0) // let position 1 be claimed first
                            otherStarted.tryAcquire(1, 10000);
                        failed.release();
                    } else {
                        otherStarted.release();
                        failed.tryAcquire(1, 10000);
                    }
                    throw DrawingWorkflow::failure(position == 0 ? QStringLiteral("earlier")
                                                                 : QStringLiteral("later"));
                },
                2);
        } catch (const PlanfolioError& e) {
            message = e.message();
        }
        QCOMPARE(message, QStringLiteral("earlier"));
        QCOMPARE(started.load(), 2);
    }

    // A cancellation at a lower position wins over a failure at a higher one.
    QSemaphore cancelled;
    QVERIFY_THROWS_EXCEPTION(CancellationError,
                             PageParallel::run(
                                 *document, 2, cancel, {},
                                 [&](int position, const PdfDocument&) {
                                     if (position == 1) {
                                         cancelled.release();
                                         throw DrawingWorkflow::failure(QStringLiteral("x"));
                                     }
                                     cancelled.tryAcquire(1, 10000);
                                     cancel.cancel();
                                     cancel.check();
                                 },
                                 2));
}

QTEST_GUILESS_MAIN(TestReading)
#include "tst_reading.moc"
