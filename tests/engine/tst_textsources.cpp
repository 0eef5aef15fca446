// Text that drawing tools keep outside the text layer: AutoCAD's SHX text
// comments read as text, names from the set's bookmarks, and regions whose
// text is drawn as ink told apart from empty ones.

#include "BookmarkNames.h"
#include "Fixtures.h"
#include "OutlinedText.h"
#include "PdfDocument.h"
#include "TestPaths.h"
#include "Workflow.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTest>

namespace {

constexpr double kWidth = 612;
constexpr double kHeight = 792;

// A box given as the page shows it (origin top-left, y down, rotation
// applied) in user space, for a Letter page stored with `rotate`.
QRectF userBox(const QRectF& shown, int rotate)
{
    QTransform toDisplay;
    switch (rotate) {
    case 90:
        toDisplay = QTransform(0, 1, 1, 0, 0, 0);
        break;
    case 180:
        toDisplay = QTransform(-1, 0, 0, 1, kWidth, 0);
        break;
    case 270:
        toDisplay = QTransform(0, -1, -1, 0, kHeight, kWidth);
        break;
    default:
        toDisplay = QTransform(1, 0, 0, -1, 0, kHeight);
        break;
    }
    return toDisplay.inverted().mapRect(shown);
}

// `r` with its corners swapped, as AutoCAD often writes /Rect.
QRectF reversed(const QRectF& r)
{
    return QRectF(r.bottomRight(), r.topLeft());
}

QRectF grown(const QRectF& r, double by)
{
    return r.normalized().adjusted(-by, -by, by, by);
}

QString realSet(const QString& name)
{
    return TestPaths::corpusDir() + QStringLiteral("/../realsets/") + name;
}

std::unique_ptr<PdfDocument> openReal(const QString& name)
{
    return PdfDocument::openFile(realSet(name));
}

QJsonObject readJson(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class TestTextSources : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void shxCommentsReadAsText_data();
    void shxCommentsReadAsText();
    void commentShapeDecidesDirection();
    void duplicatesAndOtherCommentsAreNotAdded();
    void mergedLayerSurvivesEncoding();

    void bookmarksOpenPages();
    void bookmarkNames_data();
    void bookmarkNames();
    void bookmarkAgreement();

    void inkIsNotRules();
    void readMarksOutlinedText();

    void realShxSetHasText();
    void realBookmarksAgreeWithSheets();
    void realStrokeSchematicShowsInk();
};

// Text drawn as strokes with its comment beside it, on pages of every
// stored rotation, with the comment's corners in either order: the layer,
// and so every selection, has the strings where the sheet shows them.
void TestTextSources::shxCommentsReadAsText_data()
{
    QTest::addColumn<int>("rotate");
    QTest::addColumn<bool>("reverseCorners");
    for (const int rotate : {0, 90, 180, 270}) {
        for (const bool reverse : {false, true})
            QTest::addRow("%d%s", rotate, reverse ? " reversed" : "") << rotate << reverse;
    }
}

void TestTextSources::shxCommentsReadAsText()
{
    QFETCH(int, rotate);
    QFETCH(bool, reverseCorners);
    const QString number = QStringLiteral("A-101");
    const QString title = QStringLiteral("GROUND FLOOR PLAN");
    const double across = (rotate == 90 || rotate == 270) ? kHeight : kWidth;
    const QRectF numberShown(across - 120, 40, 60, 14);
    const QRectF titleShown(across - 300, 70, 200, 14);
    Fixtures::Page page;
    page.rotate = rotate;
    for (const auto& [text, shown] : {std::pair{number, numberShown}, std::pair{title, titleShown}}) {
        const QRectF user = userBox(shown, rotate);
        Fixtures::DrawnText drawn{text, 0, 0, 11, double(rotate), true};
        const QPointF origin =
            userBox(QRectF(shown.bottomLeft() - QPointF(0, 3), QSizeF(0, 0)), rotate).topLeft();
        drawn.x = origin.x();
        drawn.y = origin.y();
        page.drawnTexts.append(drawn);
        page.shxComments.append({text, reverseCorners ? reversed(user) : user});
    }
    Fixtures::Document doc;
    doc.pages = {page};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    const std::optional<PdfPage> p = document->page(0);
    QVERIFY(p);

    const QList<PdfPage::TextComment> comments = p->shxTextComments();
    QCOMPARE(comments.size(), 2);
    QCOMPARE(comments[0].text, number);
    QVERIFY(comments[0].rect.width() > 0 && comments[0].rect.height() > 0);

    const PageText layer = p->textLayer();
    QVERIFY(!layer.failed());
    QCOMPARE(p->text(grown(userBox(numberShown, rotate), 2)), number);
    QCOMPARE(p->text(grown(userBox(titleShown, rotate), 2)), title);
    QStringList words;
    for (const PageText::Word& w : layer.words())
        words.append(w.text);
    QCOMPARE(words, QStringList(
                        {number, QStringLiteral("GROUND"), QStringLiteral("FLOOR"), QStringLiteral("PLAN")}));
    // The words read left to right as the page shows them.
    const QTransform toDisplay = p->displayTransform();
    QVERIFY(toDisplay.map(layer.words()[1].box.center()).x() <
            toDisplay.map(layer.words()[2].box.center()).x());
    // Half a title is half its words: the characters are spread along it.
    QCOMPARE(p->text(userBox(titleShown.adjusted(0, 0, -0.55 * titleShown.width(), 0), rotate)),
             QStringLiteral("GROUND F"));
}

// A long string in a tall, narrow box runs up the page; a short one ("12")
// in a box taller than wide still reads across.
void TestTextSources::commentShapeDecidesDirection()
{
    Fixtures::Page page;
    const QRectF tall(500, 300, 14, 160);
    const QRectF small(100, 100, 9, 12);
    page.shxComments = {{QStringLiteral("NORTH ELEVATION"), tall}, {QStringLiteral("12"), small}};
    Fixtures::Document doc;
    doc.pages = {page};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    const PageText layer = document->page(0)->textLayer();
    const QList<PageText::Char>& chars = layer.chars();
    QCOMPARE(chars.size(), 16);
    QCOMPARE(layer.text(grown(tall, 1)), QStringLiteral("NORTH ELEVATION"));
    QVERIFY(chars[1].centre.y() > chars[0].centre.y());
    QCOMPARE(chars[1].centre.x(), chars[0].centre.x());
    QVERIFY(chars[15].centre.x() > chars[14].centre.x());
    QCOMPARE(chars[15].centre.y(), chars[14].centre.y());
    QCOMPARE(layer.text(grown(small, 1)), QStringLiteral("12"));
}

// A producer that wrote the text and a comment for it gives the string
// once; comments of other titles are never text.
void TestTextSources::duplicatesAndOtherCommentsAreNotAdded()
{
    Fixtures::Page page;
    page.texts = {{QStringLiteral("A-101"), 400, 60, 12}, {QStringLiteral("SITE PLAN"), 400, 90, 12}};
    page.shxComments = {{QStringLiteral("A-101"), QRectF(399, 57, 36, 12)},
                        {QStringLiteral("Reviewed"), QRectF(100, 300, 60, 12), QStringLiteral("Comment")},
                        {QStringLiteral("S-2"), QRectF(100, 400, 24, 12)},
                        {QStringLiteral("S-2"), QRectF(124, 412, -24, -12)},
                        {QStringLiteral("   "), QRectF(100, 500, 24, 12)}};
    Fixtures::Document doc;
    doc.pages = {page};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    const QString all = document->page(0)->textLayer().allText();
    QCOMPARE(all.count(QStringLiteral("A-101")), 1);
    QVERIFY(!all.contains(QStringLiteral("Reviewed")));
    QVERIFY(all.endsWith(QStringLiteral("S-2\n")));
    QCOMPARE(all.count(QStringLiteral("S-2")), 1);
    QCOMPARE(document->page(0)->shxTextComments().size(), 3);
}

// The open keeps layers encoded; a merged layer reads the same after.
void TestTextSources::mergedLayerSurvivesEncoding()
{
    Fixtures::Page page;
    page.texts = {{QStringLiteral("PROJECT 2417"), 50, 700, 10}};
    page.shxComments = {{QStringLiteral("Лист 3 · План"), QRectF(400, 40, 120, 12)},
                        {QStringLiteral("NOTE 𝔸1"), QRectF(300, 300, 12, 90)}};
    Fixtures::Document doc;
    doc.pages = {page};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    const PageText layer = document->page(0)->textLayer();
    const std::optional<PageText> decoded = PageText::fromBytes(layer.toBytes());
    QVERIFY(decoded);
    QCOMPARE(decoded->allText(), layer.allText());
    QCOMPARE(layer.allText(), QStringLiteral("PROJECT 2417\nЛист 3 · План\nNOTE 𝔸1\n"));
    for (const QRectF& r : {QRectF(395, 35, 130, 22), QRectF(295, 295, 22, 100), QRectF(400, 40, 50, 12)})
        QCOMPARE(decoded->text(r), layer.text(r));
    QCOMPARE(decoded->text(QRectF(295, 295, 22, 100)), QStringLiteral("NOTE 𝔸1"));
}

// Every outline entry that opens a page, at any depth, in outline order.
void TestTextSources::bookmarksOpenPages()
{
    Fixtures::Document doc;
    doc.pages = QList<Fixtures::Page>(4);
    doc.outline = {{QStringLiteral("Sheets"), 0, 0},
                   {QStringLiteral("A-101 - First Floor and Site Plan"), 0, 1},
                   {QStringLiteral("A-102 \u2013 Roof Plan"), 1, 1},
                   {QStringLiteral("Details"), -1, 1},
                   {QStringLiteral("A103 Sections"), 2, 2},
                   {QStringLiteral("Notes"), 3, 0},
                   {QStringLiteral("A-104 - Second witness"), 1, 0}};
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
    const QList<PdfDocument::Bookmark> bookmarks = document->bookmarks();
    QStringList seen;
    for (const PdfDocument::Bookmark& b : bookmarks)
        seen.append(QStringLiteral("%1:%2").arg(b.page).arg(b.title));
    QCOMPARE(seen, QStringList({"0:Sheets", "0:A-101 - First Floor and Site Plan", "1:A-102 \u2013 Roof Plan",
                                "2:A103 Sections", "3:Notes", "1:A-104 - Second witness"}));
    const QMap<int, BookmarkName> names = BookmarkNames::byPage(bookmarks);
    QCOMPARE(names.keys(), QList<int>({0, 1, 2}));
    QCOMPARE(names[0], (BookmarkName{QStringLiteral("A-101"), QStringLiteral("First Floor and Site Plan")}));
    QCOMPARE(names[1].number, QStringLiteral("A-102")); // the first entry that names page 2
    QCOMPARE(names[2], (BookmarkName{QStringLiteral("A103"), QStringLiteral("Sections")}));

    Fixtures::Document plain;
    plain.pages = QList<Fixtures::Page>(1);
    QVERIFY(PdfDocument::open(Fixtures::build(plain).bytes)->bookmarks().isEmpty());
}

void TestTextSources::bookmarkNames_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("number"); // "" for no name
    QTest::addColumn<QString>("title");
    QTest::newRow("hyphen") << "A-101 - First Floor and Site Plan"
                            << "A-101"
                            << "First Floor and Site Plan";
    QTest::newRow("en dash") << "S-2 \u2013 Foundations"
                             << "S-2"
                             << "Foundations";
    QTest::newRow("em dash") << "E2.1 \u2014 Power  Plan "
                             << "E2.1"
                             << "Power Plan";
    QTest::newRow("first word") << "A101 Ground Floor"
                                << "A101"
                                << "Ground Floor";
    QTest::newRow("dash inside title") << "M-1 - Level 1 - HVAC"
                                       << "M-1"
                                       << "Level 1 - HVAC";
    QTest::newRow("heading") << "Sheets"
                             << ""
                             << "";
    QTest::newRow("words only") << "General Notes"
                                << ""
                                << "";
    QTest::newRow("no digit before dash") << "Sheets - Architectural"
                                          << ""
                                          << "";
    QTest::newRow("number alone") << "A-101"
                                  << ""
                                  << "";
    QTest::newRow("dash without title") << "A-101 - "
                                        << ""
                                        << "";
}

void TestTextSources::bookmarkNames()
{
    QFETCH(QString, entry);
    QFETCH(QString, number);
    QFETCH(QString, title);
    const std::optional<BookmarkName> name = BookmarkNames::parse(entry);
    if (number.isEmpty()) {
        QVERIFY(!name);
        return;
    }
    QVERIFY(name);
    QCOMPARE(name->number, number);
    QCOMPARE(name->title, title);
}

void TestTextSources::bookmarkAgreement()
{
    const BookmarkName name{QStringLiteral("A-101"), QStringLiteral("First Floor and Site Plan")};
    QVERIFY(BookmarkNames::agrees(name, QStringLiteral("A\u2010101"),
                                  QStringLiteral("FIRST FLOOR AND  SITE PLAN")));
    QVERIFY(
        !BookmarkNames::agrees(name, QStringLiteral("A-102"), QStringLiteral("First Floor and Site Plan")));
    QVERIFY(!BookmarkNames::agrees(name, QStringLiteral("A-101"), QStringLiteral("First Floor")));
    QVERIFY(!BookmarkNames::agrees(name, QString(), QString()));
}

// A cell's border is not ink; glyph strokes inside it are.
void TestTextSources::inkIsNotRules()
{
    QImage image(300, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1.5));
        painter.drawRect(QRectF(2, 2, 296, 56));
        painter.drawLine(QPointF(150, 0), QPointF(150, 60));
    }
    QVERIFY(!OutlinedText::showsInk(image));
    QVERIFY(!OutlinedText::showsInk(QImage()));
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1));
        for (int k = 0; k < 6; ++k)
            painter.drawRect(QRectF(20 + 18 * k, 20, 12, 18));
    }
    QVERIFY(OutlinedText::showsInk(image));
}

// A read over a region that shows drawn glyphs but carries no text knows
// it; an empty cell, or a region that read text, does not.
void TestTextSources::readMarksOutlinedText()
{
    const PageRegions regions(QRectF(380, 40, 100, 24), QRectF(380, 80, 200, 24));
    // A ruled cell inside the number region.
    const QList<QLineF> cell = {QLineF(382, 42, 478, 42), QLineF(478, 42, 478, 62), QLineF(478, 62, 382, 62),
                                QLineF(382, 62, 382, 42)};
    Fixtures::Document doc;
    doc.pages = QList<Fixtures::Page>(4);
    // 0: number filled glyphs, title real text: outlined.
    doc.pages[0].drawnTexts = {{QStringLiteral("A-101"), 390, 46, 12}};
    doc.pages[0].texts = {{QStringLiteral("SITE PLAN"), 390, 86, 12}};
    // 1: number an empty ruled cell: not outlined.
    doc.pages[1].lines = cell;
    doc.pages[1].texts = {{QStringLiteral("SITE PLAN"), 390, 86, 12}};
    // 2: title stroked glyphs: outlined.
    doc.pages[2].texts = {{QStringLiteral("A-103"), 390, 46, 12}};
    doc.pages[2].drawnTexts = {{QStringLiteral("ROOF PLAN"), 390, 86, 12, 0, true}};
    // 3: everything read: not outlined, whatever ink lies about.
    doc.pages[3].texts = {{QStringLiteral("A-104"), 390, 46, 12}, {QStringLiteral("SECTIONS"), 390, 86, 12}};
    doc.pages[3].lines = cell;
    const Fixtures::Built built = Fixtures::build(doc);
    QMap<int, PageRegions> map;
    for (int i = 0; i < 4; ++i)
        map.insert(i, regions);
    WorkCancellation cancel;
    const QList<PageRead> reads = DrawingWorkflow::read(built.bytes, {0, 1, 2, 3}, map, cancel);
    QCOMPARE(reads.size(), 4);
    QCOMPARE(reads[0].number, QString());
    QCOMPARE(reads[0].title, QStringLiteral("SITE PLAN"));
    QVERIFY(reads[0].outlinedText);
    QVERIFY(!reads[1].outlinedText);
    QVERIFY(reads[2].outlinedText);
    QVERIFY(!reads[3].outlinedText);
}

// A set whose title blocks are SHX text: no page is without text, and the
// Cyrillic strings read where the sheet shows them.
void TestTextSources::realShxSetHasText()
{
    const std::unique_ptr<PdfDocument> document = openReal(QStringLiteral("ru-overpass.pdf"));
    if (!document)
        QSKIP("../shared/realsets is not here");
    WorkCancellation cancel;
    QCOMPARE(DrawingWorkflow::pagesWithoutText(*document, cancel), QSet<int>());
    const QString all = document->page(3)->text();
    QVERIFY2(all.contains(QStringLiteral("Ремонт путепровода")), qPrintable(all.left(400)));
}

// Revit's outline names every sheet; each name is the one on the sheet.
void TestTextSources::realBookmarksAgreeWithSheets()
{
    const std::unique_ptr<PdfDocument> document = openReal(QStringLiteral("kegonsa-decorator.pdf"));
    if (!document)
        QSKIP("../shared/realsets is not here");
    const QMap<int, BookmarkName> names = BookmarkNames::byPage(document->bookmarks());
    const QJsonArray truth =
        readJson(realSet(QStringLiteral("kegonsa-decorator.truth.json"))).value("pages").toArray();
    QCOMPARE(names.size(), truth.size());
    for (const QJsonValue& value : truth) {
        const QJsonObject page = value.toObject();
        const int index = page.value("page").toInt() - 1;
        QVERIFY2(names.contains(index), qPrintable(QString::number(index)));
        QVERIFY2(BookmarkNames::agrees(names[index], page.value("number").toString(),
                                       page.value("title").toString()),
                 qPrintable(names[index].text()));
    }
}

// A schematic plotted as strokes: its title block's cells show ink; a
// blank stretch of the sheet does not.
void TestTextSources::realStrokeSchematicShowsInk()
{
    const std::unique_ptr<PdfDocument> document = openReal(QStringLiteral("hackrf-one.pdf"));
    if (!document)
        QSKIP("../shared/realsets is not here");
    // Round the "Id: 1/4" value and the title value of the title block.
    const QRectF number(758, 73, 36, 10);
    const QRectF title(612, 84, 80, 12);
    WorkCancellation cancel;
    for (int i = 0; i < document->pageCount(); ++i) {
        const PdfPage page = *document->page(i);
        QVERIFY(page.text().trimmed().isEmpty());
        QVERIFY(OutlinedText::regionShowsInk(page, number, cancel));
        QVERIFY(OutlinedText::regionShowsInk(page, title, cancel));
    }
    QVERIFY(!OutlinedText::regionShowsInk(*document->page(0), QRectF(700, 300, 60, 20), cancel));
}

QTEST_GUILESS_MAIN(TestTextSources)
#include "tst_textsources.moc"
