// The PDF document service over documents made by the fixture generator:
// text selection in user space on pages of every stored rotation and box
// layout, the in-memory selection against poppler's own, document states,
// single-page copies and rendering.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(Fixtures::Document)
Q_DECLARE_METATYPE(Fixtures::Page)

namespace {

const QString number = QStringLiteral("A-101");

Fixtures::Document onePage(const Fixtures::Page& page)
{
    Fixtures::Document doc;
    doc.pages = {page};
    return doc;
}

Fixtures::Page pageWith(std::optional<int> rotate, QRectF media = QRectF(0, 0, 612, 792),
                        std::optional<QRectF> crop = std::nullopt)
{
    Fixtures::Page page;
    page.mediaBox = media;
    page.cropBox = crop;
    page.rotate = rotate;
    return page;
}

QRectF grown(const QRectF& r, double by)
{
    return r.adjusted(-by, -by, by, by);
}

// Whitespace runs collapsed to one space, none at either end: how callers
// read a selection.
QString normalised(const QString& s)
{
    return s.simplified();
}

// Three sheets whose rotation, media box and one resource dictionary (every
// sheet's image and the font) sit on the /Pages node; sheet i reads "S-i"
// and links to the next sheet.
Fixtures::Document sharedSheetSet()
{
    Fixtures::Document doc;
    doc.inheritedRotate = 180;
    doc.inheritedMediaBox = QRectF(0, 0, 842, 595);
    doc.sharedInheritedResources = true;
    for (int i = 0; i < 3; ++i) {
        Fixtures::Page page = pageWith(std::nullopt);
        page.mediaBox.reset();
        page.image = true;
        page.texts = {{QStringLiteral("S-%1").arg(i), 100, 100, 10}};
        page.links = {{QRectF(50, 50, 20, 20), (i + 1) % 3, Fixtures::Link::DestArray}};
        doc.pages.append(page);
    }
    return doc;
}

// The darkest grey in the 3×3 pixels around `p` (255 when outside).
int darkestAround(const QImage& image, QPointF p)
{
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint q(int(std::floor(p.x())) + dx, int(std::floor(p.y())) + dy);
            if (image.rect().contains(q))
                darkest = std::min(darkest, qGray(image.pixel(q)));
        }
    }
    return darkest;
}

// Object number of the optional content group named `name` in an
// uncompressed qpdf output, or -1.
int groupObject(const QByteArray& pdf, const QString& name)
{
    const QRegularExpression re(QStringLiteral("(\\d+) 0 obj\\s*<<[^>]*/Name \\(%1\\)[^>]*/Type /OCG")
                                    .arg(QRegularExpression::escape(name)));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(pdf));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestPdfService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textInRectangle_data();
    void textInRectangle();
    void selectionMatchesPoppler_data();
    void selectionMatchesPoppler();
    void selectionOfNothing();
    void spacesFromGaps_data();
    void spacesFromGaps();
    void wordBreaksMatchPopplerOnOtherProducers();

    void documentStates_data();
    void documentStates();
    void unreadableBytes_data();
    void unreadableBytes();
    void annotationSubtypes();
    void formFields_data();
    void formFields();
    void readersDisagreeOnPages();
    void openFile();
    void documentsFromSameBytesAreIndependent();

    void singlePageKeepsGeometry_data();
    void singlePageKeepsGeometry();
    void singlePageDropsLinksToOtherPages();
    void singlePageKeepsOnlyItsResources();
    void singlePageKeepsHiddenLayerHidden();

    void render_data();
    void render();
    void renderRegion();
    void abortedWork();
};

// ---------------------------------------------------------------- text

void TestPdfService::textInRectangle_data()
{
    QTest::addColumn<Fixtures::Document>("doc");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QRectF>("expectedCrop");
    QTest::addColumn<int>("expectedRotation");

    const QRectF letter(0, 0, 612, 792);
    for (int r : {0, 90, 180, 270, -90, 450}) {
        QTest::addRow("rotate %d", r) << onePage(pageWith(r)) << QPointF(300, 400) << letter << r;
    }
    QTest::newRow("no rotate entry") << onePage(pageWith(std::nullopt)) << QPointF(72, 700) << letter << 0;

    const QRectF a3(0, 0, 1191, 842);
    const QRectF crop(100, 50, 500, 400);
    QTest::newRow("offset crop box") << onePage(pageWith(0, a3, crop)) << QPointF(300, 200) << crop << 0;
    QTest::newRow("offset crop box, rotate 270")
        << onePage(pageWith(270, a3, crop)) << QPointF(520, 420) << crop << 270;
    QTest::newRow("negative media origin, rotate 90")
        << onePage(pageWith(90, QRectF(-200, -100, 800, 600))) << QPointF(-150, 400)
        << QRectF(-200, -100, 800, 600) << 90;
    QTest::newRow("crop box beyond the media box")
        << onePage(pageWith(180, letter, QRectF(-50, -50, 400, 1000))) << QPointF(100, 100)
        << QRectF(0, 0, 350, 792) << 180;

    Fixtures::Document inherited = onePage(pageWith(std::nullopt, letter));
    inherited.pages[0].mediaBox.reset();
    inherited.inheritedMediaBox = a3;
    inherited.inheritedCropBox = QRectF(20, 30, 1100, 800);
    inherited.inheritedRotate = 90;
    QTest::newRow("rotation and boxes inherited")
        << inherited << QPointF(600, 400) << QRectF(20, 30, 1100, 800) << 90;
}

void TestPdfService::textInRectangle()
{
    QFETCH(Fixtures::Document, doc);
    QFETCH(QPointF, at);
    QFETCH(QRectF, expectedCrop);
    QFETCH(int, expectedRotation);

    doc.pages[0].texts = {{number, at.x(), at.y(), 10},
                          {QStringLiteral("FAR AWAY"), at.x(), at.y() + 60, 10}};
    const Fixtures::Built built = Fixtures::build(doc);
    const auto document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    QVERIFY(document->loadTextLayer());
    const std::optional<PdfPage> page = document->page(0);
    QVERIFY(page);
    QCOMPARE(page->cropBox(), expectedCrop);
    QCOMPARE(page->rotation(), expectedRotation);

    const QRectF box = built.boxOf(0, number);
    QVERIFY(!box.isNull());
    // The transform puts the string inside the displayed page.
    QVERIFY(QRectF(QPointF(0, 0), page->displaySize()).contains(page->displayTransform().mapRect(box)));

    const PageText layer = page->textLayer();
    const QRectF around = grown(box, 2);
    QCOMPARE(layer.text(around), number);
    QCOMPARE(page->text(around), number);
    QCOMPARE(page->referenceText(around), number);
    // The text layer's own word box lands where the string was set.
    const auto word = std::find_if(layer.words().begin(), layer.words().end(),
                                   [](const PageText::Word& w) { return w.text == number; });
    QVERIFY(word != layer.words().end());
    const QPointF off[] = {word->box.topLeft() - box.topLeft(), word->box.bottomRight() - box.bottomRight()};
    for (const QPointF& d : off)
        QVERIFY2(std::abs(d.x()) < 0.5 && std::abs(d.y()) < 0.5,
                 qPrintable(QString::number(d.x()) + ' ' + QString::number(d.y())));

    for (double dy : {15.0, -15.0}) {
        const QRectF moved = around.translated(0, dy);
        QCOMPARE(layer.text(moved), QString());
        QCOMPARE(page->referenceText(moved), QString());
    }
    QVERIFY(normalised(page->text()).contains(number));
}

void TestPdfService::selectionMatchesPoppler_data()
{
    QTest::addColumn<int>("rotate");
    QTest::addColumn<bool>("offsetCrop");
    QTest::newRow("upright") << 0 << false;
    QTest::newRow("rotate 90") << 90 << false;
    QTest::newRow("rotate 180, offset crop box") << 180 << true;
    QTest::newRow("rotate -90, offset crop box") << -90 << true;
}

void TestPdfService::selectionMatchesPoppler()
{
    QFETCH(int, rotate);
    QFETCH(bool, offsetCrop);

    // A title block whose strings are written bottom line first, so that
    // reading order has to come from positions, not from content order.
    Fixtures::Page page =
        pageWith(rotate, QRectF(0, 0, 842, 595),
                 offsetCrop ? std::optional<QRectF>(QRectF(300, 10, 520, 300)) : std::nullopt);
    page.texts = {
        {QStringLiteral("DRAWN JM"), 500, 30, 8},
        {QStringLiteral("CHECKED AB"), 600, 30, 8},
        {QStringLiteral("SCALE 1:100 @ A1"), 500, 45, 8},
        {QStringLiteral("PLAN"), 500, 62, 10},
        {QStringLiteral("GROUND FLOOR"), 500, 74, 10},
        {QStringLiteral("TITLE"), 500, 90, 6},
        {QStringLiteral("REV"), 700, 130, 6},
        {QStringLiteral("C"), 700, 110, 14},
        {number, 500, 110, 14},
        {QStringLiteral("DRAWING NO"), 500, 130, 6},
        {QStringLiteral("ﬁnal issue"), 600, 62, 10},
        // A stamp over small print: close baselines, overlapping columns.
        {QStringLiteral("APPROVED"), 620, 160, 12},
        {QStringLiteral("for construction"), 600, 157, 6},
    };
    const Fixtures::Built built = Fixtures::build(onePage(page));
    const auto document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const std::optional<PdfPage> p = document->page(0);
    QVERIFY(p);
    const PageText layer = p->textLayer();

    QList<QRectF> rects;
    for (const Fixtures::Placed& placed : built.placed)
        rects << grown(placed.box, 2) << placed.box.adjusted(4, 1, -4, -1);
    const QRectF floor = built.boxOf(0, QStringLiteral("GROUND FLOOR"));
    const QRectF plan = built.boxOf(0, QStringLiteral("PLAN"));
    const QRectF drawn = built.boxOf(0, QStringLiteral("DRAWN JM"));
    const QRectF checked = built.boxOf(0, QStringLiteral("CHECKED AB"));
    rects << grown(floor.united(plan), 2)                      // two lines
          << grown(drawn.united(checked), 2)                   // two columns, one baseline
          << QRectF(floor.left() + 20, plan.top() - 2, 60, 30) // cuts words
          << grown(built.boxOf(0, number).united(built.boxOf(0, QStringLiteral("C"))), 1)
          << grown(built.boxOf(0, QStringLiteral("APPROVED")), 3)
          << QRectF(480, 20, 300, 130) // the whole block
          << QRectF(100, 300, 50, 50); // empty paper

    int nonEmpty = 0;
    for (const QRectF& r : rects) {
        const QString mine = layer.text(r);
        QCOMPARE(mine, p->referenceText(r));
        nonEmpty += mine.isEmpty() ? 0 : 1;
    }
    QVERIFY(nonEmpty >= rects.size() - 1);
    QCOMPARE(normalised(layer.text(grown(floor.united(plan), 2))), QStringLiteral("GROUND FLOOR PLAN"));
    // A ligature outside WinAnsi comes back as the character it was set as.
    QCOMPARE(layer.text(grown(built.boxOf(0, QStringLiteral("ﬁnal issue")), 2)),
             QStringLiteral("ﬁnal issue"));
}

void TestPdfService::selectionOfNothing()
{
    Fixtures::Page page = pageWith(0);
    page.texts = {{number, 100, 100, 10}};
    const Fixtures::Built built = Fixtures::build(onePage(page));
    const auto document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const PdfPage p = *document->page(0);
    // A rectangle without area selects nothing (poppler would read a null
    // rectangle as the whole page).
    const QRectF box = built.boxOf(0, number);
    QCOMPARE(p.text(QRectF(box.center(), QSizeF(0, 20))), QString());
    QCOMPARE(p.referenceText(QRectF()), QString());
    QCOMPARE(p.textLayer().text(QRectF()), QString());
    // A rectangle given with negative size is the same rectangle.
    const QRectF around = grown(box, 2);
    QCOMPARE(p.text(QRectF(around.bottomRight(), around.topLeft())), number);
}

void TestPdfService::spacesFromGaps_data()
{
    // Each page holds one title, drawn as some producer draws it; a region
    // 3 pt around its strings must read `expected`. `popplerJoins`: poppler's
    // own selection reads the same with its spaces dropped (it takes a line
    // made only of one-character words as letter-spaced and joins them); the
    // in-memory selection deliberately puts a space wherever the gap between
    // two characters is a space wide, beyond the line's usual gap.
    QTest::addColumn<Fixtures::Page>("page");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("popplerJoins");
    using T = Fixtures::Text;
    const auto pageOf = [](QList<T> texts, std::optional<int> rotate = std::nullopt,
                           std::optional<QRectF> crop = std::nullopt) {
        Fixtures::Page page = pageWith(rotate, QRectF(0, 0, 842, 595), crop);
        page.texts = texts;
        return page;
    };
    const QString aa = QStringLiteral("A - A");
    for (const double size : {8.0, 12.0, 24.0, 40.0}) {
        QTest::addRow("%g pt one-character words, one string", size)
            << pageOf({{aa, 100, 300, size}}) << aa << true;
        QTest::addRow("%g pt one-character words, glyph by glyph", size)
            << pageOf({{aa, 100, 300, size, 0, 0, T::EachGlyph}}) << aa << true;
    }
    QTest::newRow("own line beside smaller text")
        << pageOf({{QStringLiteral("SECTION"), 100, 300, 10}, {aa, 148, 300, 24, 0, 0, T::EachGlyph}})
        << QStringLiteral("SECTION A - A") << true;
    QTest::newRow("/Rotate 90, glyph by glyph")
        << pageOf({{aa, 100, 300, 24, 0, 0, T::EachGlyph}}, 90) << aa << true;
    QTest::newRow("/Rotate 270, offset crop box")
        << pageOf({{aa, 100, 300, 24, 0, 0, T::EachGlyph}}, 270, QRectF(50, 200, 400, 300)) << aa << true;
    QTest::newRow("drawn at 90 degrees") << pageOf({{aa, 300, 200, 24, 0, 90, T::EachGlyph}}) << aa << true;
    QTest::newRow("drawn at 270 degrees, /Rotate 90")
        << pageOf({{aa, 300, 400, 24, 0, 270, T::EachGlyph}}, 90) << aa << true;

    // Letter spacing, kerning and placement that must not add spaces.
    const QString gf = QStringLiteral("GROUND FLOOR");
    QTest::newRow("letter-spaced 3 pt at 24 pt") << pageOf({{gf, 100, 300, 24, 3}}) << gf << false;
    QTest::newRow("letter-spaced 4 pt at 12 pt") << pageOf({{gf, 100, 300, 12, 4}}) << gf << false;
    QTest::newRow("letter-spaced 4 pt at 24 pt, glyph by glyph")
        << pageOf({{gf, 100, 300, 24, 4, 0, T::EachGlyph}}) << gf << false;
    QTest::newRow("short letter-spaced word")
        << pageOf({{QStringLiteral("PLAN"), 100, 300, 24, 3}}) << QStringLiteral("PLAN") << false;
    QTest::newRow("letter-spaced, drawn at 90 degrees, /Rotate 270")
        << pageOf({{gf, 300, 100, 24, 3, 90}}, 270) << gf << false;
    QTest::newRow("glyph by glyph, spaces not drawn")
        << pageOf({{QStringLiteral("SECTION A - A"), 100, 300, 24, 0, 0, T::EachGlyphNoSpaces}})
        << QStringLiteral("SECTION A - A") << false;
    QTest::newRow("glyph by glyph, letter-spaced, spaces not drawn")
        << pageOf({{QStringLiteral("GROUND FLOOR PLAN"), 100, 300, 24, 3.5, 0, T::EachGlyphNoSpaces}})
        << QStringLiteral("GROUND FLOOR PLAN") << false;
    T kerned{QStringLiteral("AVATAR WAVE"), 100, 300, 24};
    kerned.glyphs = T::Kerned;
    kerned.kerning = {-80, -60, -80, 30, -70, 0, 0, -60, -50, 20};
    QTest::newRow("kerning in a TJ array") << pageOf({kerned}) << kerned.text << false;
    QTest::newRow("two-line title, glyph by glyph")
        << pageOf({{gf, 100, 300, 24, 0, 0, T::EachGlyphNoSpaces},
                   {QStringLiteral("PLAN"), 100, 272, 24, 0, 0, T::EachGlyph}})
        << QStringLiteral("GROUND FLOOR PLAN") << false;
    QTest::newRow("two-line letter-spaced title, /Rotate 90")
        << pageOf({{gf, 100, 300, 24, 3}, {QStringLiteral("PLAN"), 100, 272, 24, 3}}, 90)
        << QStringLiteral("GROUND FLOOR PLAN") << false;
}

void TestPdfService::spacesFromGaps()
{
    QFETCH(Fixtures::Page, page);
    QFETCH(QString, expected);
    QFETCH(bool, popplerJoins);
    const Fixtures::Built built = Fixtures::build(onePage(page));
    const auto document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const PdfPage p = *document->page(0);
    QRectF region;
    for (const Fixtures::Placed& placed : built.placed)
        region |= placed.box;
    region = grown(region, 3);
    QCOMPARE(normalised(p.textLayer().text(region)), expected);
    QString poppler = normalised(p.referenceText(region));
    if (popplerJoins)
        QCOMPARE(poppler.remove(QLatin1Char(' ')), QString(expected).remove(QLatin1Char(' ')));
    else
        QCOMPARE(poppler, expected);
}

void TestPdfService::wordBreaksMatchPopplerOnOtherProducers()
{
    // Drawings from a CAD program, a schematic library and a survey with
    // text at every angle: every word, and every word with the next, has
    // the word breaks poppler gives it wherever both read one line. (Where
    // text directions mix, the in-memory order follows the page's main
    // direction, and column padding may differ.) On the survey, glyphs
    // turned at a slant get upright cells stepped across their line, with
    // gaps between them that are no spaces.
    for (const char* name : {"pdfjs-A0-survey-drawing-rotate90.pdf", "pdfjs-ansi-C-drawing-titleblock.pdf",
                             "pdfjs-A3-schematic-titleblock.pdf"}) {
        QFile file(TestPaths::corpusDir() + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto document = PdfDocument::open(file.readAll());
        QVERIFY(document);
        const PdfPage page = *document->page(0);
        const PageText layer = page.textLayer();
        const QList<PageText::Word>& words = layer.words();
        QVERIFY(words.size() > 20);
        int compared = 0;
        for (qsizetype k = 0; k < words.size(); ++k) {
            QList<QRectF> rects{grown(words[k].box, 1)};
            if (k + 1 < words.size())
                rects << grown(words[k].box.united(words[k + 1].box), 1);
            for (const QRectF& r : rects) {
                // One line of reading in both, so that only word breaks can
                // differ, not line structure.
                const QString mine = layer.text(r);
                const QString poppler = page.referenceText(r);
                if (mine.contains(QLatin1Char('\n')) || poppler.contains(QLatin1Char('\n')))
                    continue;
                ++compared;
                QVERIFY2(normalised(mine) == normalised(poppler),
                         qPrintable(QStringLiteral("%1: \"%2\" where poppler reads \"%3\"")
                                        .arg(QLatin1String(name), mine, poppler)));
            }
        }
        QVERIFY(compared > words.size() / 2);
    }
}

// ------------------------------------------------------- document states

void TestPdfService::documentStates_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("pages");

    Fixtures::Document doc = onePage(pageWith(0));
    doc.pages[0].texts = {{number, 72, 72, 10}};
    doc.pages.append(doc.pages[0]);
    QTest::newRow("plain") << Fixtures::build(doc).bytes << false << false << 2;
    doc.encryption = Fixtures::Document::OwnerPasswordOnly;
    QTest::newRow("owner password only") << Fixtures::build(doc).bytes << false << true << 2;
    doc.encryption = Fixtures::Document::UserPassword;
    QTest::newRow("user password") << Fixtures::build(doc).bytes << true << true << 0;
    QTest::newRow("zero pages") << Fixtures::zeroPages() << false << false << 0;
}

void TestPdfService::documentStates()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, locked);
    QFETCH(bool, encrypted);
    QFETCH(int, pages);
    const auto document = PdfDocument::open(bytes);
    QVERIFY(document);
    QCOMPARE(document->isLocked(), locked);
    QCOMPARE(document->isEncrypted(), encrypted);
    QCOMPARE(document->pageCount(), pages);
    QVERIFY(!document->page(pages));
    QVERIFY(!document->page(-1));
    QVERIFY(!document->singlePagePdf(pages));
    QVERIFY(!document->singlePagePdf(-1));
    if (locked)
        QVERIFY(!document->loadTextLayer()); // poppler never sees a locked file
    if (pages == 0)
        return;
    QVERIFY(document->loadTextLayer());
    const PdfPage last = *document->page(pages - 1);
    QCOMPARE(last.text(QRectF(60, 60, 50, 30)), number);
    // A page copy is a plain file, whatever the source's encryption.
    const auto copy = PdfDocument::open(document->singlePagePdf(pages - 1).value_or(QByteArray()));
    QVERIFY(copy);
    QVERIFY(!copy->isEncrypted());
    QCOMPARE(copy->pageCount(), 1);
}

void TestPdfService::unreadableBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray pdf = Fixtures::build(onePage(pageWith(0))).bytes;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("Sheet list: A-101, A-102\n");
    QTest::newRow("header only") << Fixtures::truncated(pdf, 9);
    QTest::newRow("png signature") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
}

void TestPdfService::unreadableBytes()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!PdfDocument::open(bytes));
}

void TestPdfService::annotationSubtypes()
{
    Fixtures::Document doc;
    Fixtures::Page first = pageWith(0);
    first.links = {{QRectF(72, 72, 50, 20), 1, Fixtures::Link::DestArray}};
    first.textNote = true;
    first.formWidget = true;
    first.signatureWidget = true;
    doc.pages = {first, pageWith(0)};
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    QCOMPARE(document->page(0)->annotationSubtypes(),
             QList<QString>({QStringLiteral("Link"), QStringLiteral("Text"), QStringLiteral("Widget"),
                             QStringLiteral("Widget")}));
    QCOMPARE(document->page(1)->annotationSubtypes(), QList<QString>());
}

void TestPdfService::formFields_data()
{
    QTest::addColumn<Fixtures::Document>("doc");
    QTest::addColumn<bool>("expected");
    Fixtures::Document plain = onePage(pageWith(0));
    QTest::newRow("no form") << plain << false;
    Fixtures::Document widget = plain;
    widget.pages[0].formWidget = true;
    QTest::newRow("text field") << widget << true;
    Fixtures::Document fieldOnly = plain;
    fieldOnly.acroFormWithoutWidgets = true;
    QTest::newRow("field without widget") << fieldOnly << true;
}

void TestPdfService::formFields()
{
    QFETCH(Fixtures::Document, doc);
    QFETCH(bool, expected);
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    QCOMPARE(document->hasFormFields(), expected);
}

void TestPdfService::readersDisagreeOnPages()
{
    // /Count 9999999999 over one kid: qpdf walks one page, poppler refuses
    // the count. Page i would not be the same page for both.
    QFile bogus(TestPaths::corpusDir() + QStringLiteral("/pdfjs-bogus-page-count.pdf"));
    QFile loop(TestPaths::corpusDir() + QStringLiteral("/qpdf-pages-tree-loop.pdf"));
    if (!bogus.exists() || !loop.exists())
        QSKIP("public corpus not present");
    const auto document = PdfDocument::openFile(bogus.fileName());
    QVERIFY(document);
    QCOMPARE(document->pageCount(), 1);
    QVERIFY(!document->loadTextLayer());
    QVERIFY(!document->loadTextLayer());
    const PdfPage page = *document->page(0);
    QCOMPARE(page.text(page.cropBox()), QString());
    QVERIFY(page.render(36).isNull());
    // A loop in the page tree is not a readable structure at all.
    QVERIFY(!PdfDocument::openFile(loop.fileName()));
}

void TestPdfService::openFile()
{
    Fixtures::Document doc = onePage(pageWith(0));
    doc.pages[0].texts = {{number, 72, 72, 10}};
    const QByteArray bytes = Fixtures::build(doc).bytes;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("set.pdf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();

    const auto document = PdfDocument::openFile(path);
    QVERIFY(document);
    QCOMPARE(document->bytes(), bytes);
    QVERIFY(PdfDocument::openFile(path, bytes.size()));
    QVERIFY(!PdfDocument::openFile(path, bytes.size() - 1));
    QVERIFY(!PdfDocument::openFile(dir.filePath(QStringLiteral("missing.pdf"))));
    QVERIFY(!PdfDocument::openFile(dir.path()));
}

void TestPdfService::documentsFromSameBytesAreIndependent()
{
    const QByteArray bytes = Fixtures::build(sharedSheetSet()).bytes;
    const QByteArray pristine(bytes.constData(), bytes.size()); // a deep copy

    const auto first = PdfDocument::open(bytes);
    const auto second = PdfDocument::open(bytes);
    QVERIFY(first && second);
    QCOMPARE(first->bytes().constData(), bytes.constData()); // shared, not copied

    QVERIFY(first->singlePagePdf(1));
    QVERIFY(!first->page(0)->text().isEmpty());
    QVERIFY(!first->page(2)->render(20).isNull());

    QCOMPARE(bytes, pristine);
    QCOMPARE(first->bytes(), pristine);
    // The other document still reads the page as stored, link included.
    const PdfPage page = *second->page(1);
    QCOMPARE(page.rotation(), 180);
    QCOMPARE(page.annotationSubtypes(), QList<QString>({QStringLiteral("Link")}));
    QCOMPARE(normalised(page.text()), QStringLiteral("S-1"));
    QCOMPARE(*second->singlePagePdf(1), *first->singlePagePdf(1));
}

// ------------------------------------------------------ single-page copy

void TestPdfService::singlePageKeepsGeometry_data()
{
    QTest::addColumn<Fixtures::Document>("doc");
    QTest::addColumn<int>("index");

    Fixtures::Document stored;
    stored.pages = {pageWith(0), pageWith(-90, QRectF(0, 0, 1191, 842), QRectF(10, 20, 1000, 800)),
                    pageWith(450)};
    QTest::newRow("stored -90, offset crop box") << stored << 1;
    QTest::newRow("stored 450") << stored << 2;

    Fixtures::Document inherited;
    inherited.inheritedRotate = 180;
    inherited.inheritedMediaBox = QRectF(0, 0, 842, 595);
    inherited.inheritedCropBox = QRectF(30, 40, 700, 500);
    for (int i = 0; i < 2; ++i) {
        Fixtures::Page page = pageWith(std::nullopt);
        page.mediaBox.reset();
        inherited.pages.append(page);
    }
    QTest::newRow("inherited rotation and boxes") << inherited << 1;
}

void TestPdfService::singlePageKeepsGeometry()
{
    QFETCH(Fixtures::Document, doc);
    QFETCH(int, index);
    for (int i = 0; i < doc.pages.size(); ++i)
        doc.pages[i].texts = {{QStringLiteral("SHEET-%1").arg(i), 200, 300, 10}};
    const Fixtures::Built built = Fixtures::build(doc);
    const auto document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    const PdfPage source = *document->page(index);

    const std::optional<QByteArray> copy = document->singlePagePdf(index);
    QVERIFY(copy);
    QCOMPARE(*document->singlePagePdf(index), *copy); // the same bytes every time
    const auto single = PdfDocument::open(*copy);
    QVERIFY(single);
    QCOMPARE(single->pageCount(), 1);
    const PdfPage page = *single->page(0);
    QCOMPARE(page.mediaBox(), source.mediaBox());
    QCOMPARE(page.cropBox(), source.cropBox());
    QCOMPARE(page.rotation(), source.rotation());
    const QString sheet = QStringLiteral("SHEET-%1").arg(index);
    QCOMPARE(page.text(grown(built.boxOf(index, sheet), 2)), sheet);
    QCOMPARE(normalised(page.text()), sheet);
}

void TestPdfService::singlePageDropsLinksToOtherPages()
{
    Fixtures::Document doc;
    Fixtures::Page first = pageWith(0);
    first.links = {
        {QRectF(50, 50, 20, 20), 1, Fixtures::Link::DestArray},
        {QRectF(80, 50, 20, 20), 2, Fixtures::Link::NamedDest},
        {QRectF(110, 50, 20, 20), 1, Fixtures::Link::GoToAction},
        {QRectF(140, 50, 20, 20), 1, Fixtures::Link::Uri},
        {QRectF(170, 50, 20, 20), 0, Fixtures::Link::DestArray},
    };
    doc.pages = {first, pageWith(0), pageWith(0)};
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    QCOMPARE(document->page(0)->annotationSubtypes().size(), 5);

    const QByteArray copy = document->singlePagePdf(0).value_or(QByteArray());
    const auto single = PdfDocument::open(copy);
    QVERIFY(single);
    // The web link and the link to the page itself remain.
    QCOMPARE(single->page(0)->annotationSubtypes(),
             QList<QString>({QStringLiteral("Link"), QStringLiteral("Link")}));
    QVERIFY(copy.contains("https://example.com/sheets/2"));
    QVERIFY(!copy.contains("/GoTo"));
    QVERIFY(!copy.contains("sheet-0003"));
    QVERIFY(!copy.contains("null"));
    // The source document still has all five.
    QCOMPARE(document->page(0)->annotationSubtypes().size(), 5);
}

void TestPdfService::singlePageKeepsOnlyItsResources()
{
    const auto document = PdfDocument::open(Fixtures::build(sharedSheetSet()).bytes);
    QVERIFY(document);
    const QByteArray copy = document->singlePagePdf(1).value_or(QByteArray());
    QVERIFY(copy.contains("/Im1"));
    QVERIFY(!copy.contains("/Im0"));
    QVERIFY(!copy.contains("/Im2"));
    const auto single = PdfDocument::open(copy);
    QVERIFY(single);
    QCOMPARE(single->page(0)->rotation(), 180);
    QCOMPARE(normalised(single->page(0)->text()), QStringLiteral("S-1"));
}

void TestPdfService::singlePageKeepsHiddenLayerHidden()
{
    Fixtures::Document doc;
    doc.hiddenLayer = true;
    Fixtures::Page layered = pageWith(0);
    layered.usesHiddenLayer = true;
    layered.texts = {{number, 300, 300, 10}};
    doc.pages = {layered, pageWith(0)};
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    QCOMPARE(normalised(document->page(0)->text()), number);

    const QByteArray copy = document->singlePagePdf(0).value_or(QByteArray());
    const int group = groupObject(copy, QStringLiteral("Hidden notes"));
    QVERIFY2(group > 0, copy.constData());
    const QRegularExpression off(QStringLiteral("/OFF \\[ %1 0 R \\]").arg(group));
    QVERIFY2(off.match(QString::fromLatin1(copy)).hasMatch(), copy.constData());
    const auto single = PdfDocument::open(copy);
    QVERIFY(single);
    QCOMPARE(normalised(single->page(0)->text()), number);

    // A page that does not use the layer carries no layer configuration.
    const QByteArray plain = document->singlePagePdf(1).value_or(QByteArray());
    QVERIFY(!plain.isEmpty());
    QVERIFY(!plain.contains("/OCProperties"));
}

// ------------------------------------------------------------ rendering

void TestPdfService::render_data()
{
    QTest::addColumn<Fixtures::Document>("doc");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("upright, 144 dpi") << onePage(pageWith(0)) << 144.0 << QSize(1224, 1584);
    QTest::newRow("rotate 90, 144 dpi") << onePage(pageWith(90)) << 144.0 << QSize(1584, 1224);
    QTest::newRow("rotate 450, 72 dpi") << onePage(pageWith(450)) << 72.0 << QSize(792, 612);
    QTest::newRow("rotate 270, offset crop box, 36 dpi")
        << onePage(pageWith(270, QRectF(0, 0, 1191, 842), QRectF(100, 50, 600, 400))) << 36.0
        << QSize(200, 300);
}

void TestPdfService::render()
{
    QFETCH(Fixtures::Document, doc);
    QFETCH(double, dpi);
    QFETCH(QSize, expected);
    // One line in user space, off every axis of symmetry of the page.
    const QRectF crop = doc.pages[0].cropBox.value_or(*doc.pages[0].mediaBox);
    const QLineF line(crop.left() + 40, crop.top() + 60, crop.left() + 240, crop.top() + 60);
    doc.pages[0].lines = {line};
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    const PdfPage page = *document->page(0);
    const QImage image = page.render(dpi);
    QCOMPARE(image.size(), expected);

    const QTransform toPixels = page.displayTransform() * QTransform::fromScale(dpi / 72, dpi / 72);
    for (double t : {0.1, 0.5, 0.9})
        QVERIFY(darkestAround(image, toPixels.map(line.pointAt(t))) < 128);
    // Where the line would be if the rotation were ignored or mirrored: paper.
    const QPointF mirrored(crop.left() + 140, crop.bottom() - 60);
    QCOMPARE(darkestAround(image, toPixels.map(mirrored)), 255);
    QCOMPARE(qGray(image.pixel(0, 0)), 255);
}

void TestPdfService::renderRegion()
{
    Fixtures::Document doc = onePage(pageWith(90));
    const QLineF line(100, 200, 300, 200);
    doc.pages[0].lines = {line};
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    const PdfPage page = *document->page(0);

    const QRectF region(180, 180, 60, 40);
    const QImage image = page.renderRegion(region, 144);
    // 60 × 40 pt shown turned a quarter: 80 × 120 pixels at 144 dpi.
    QCOMPARE(image.size(), QSize(80, 120));
    const QPointF origin = page.displayTransform().mapRect(region).topLeft();
    const QTransform toPixels = page.displayTransform() *
                                QTransform::fromTranslate(-origin.x(), -origin.y()) *
                                QTransform::fromScale(2, 2);
    QVERIFY(darkestAround(image, toPixels.map(QPointF(210, 200))) < 128);
    QCOMPARE(darkestAround(image, toPixels.map(QPointF(210, 190))), 255);

    QVERIFY(page.renderRegion(QRectF(2000, 2000, 10, 10), 144).isNull());
    QVERIFY(page.renderRegion(region, 0).isNull());
}

void TestPdfService::abortedWork()
{
    Fixtures::Document doc = onePage(pageWith(0));
    doc.pages[0].texts = {{number, 72, 72, 10}};
    doc.pages[0].lineSegments = 2000;
    const auto document = PdfDocument::open(Fixtures::build(doc).bytes);
    QVERIFY(document);
    const PdfPage page = *document->page(0);
    int polls = 0;
    const AbortCheck abort = [&polls] {
        ++polls;
        return true;
    };
    QVERIFY(page.render(72, abort).isNull());
    QVERIFY(page.renderRegion(QRectF(0, 0, 100, 100), 72, abort).isNull());
    const PageText layer = page.textLayer(abort);
    QVERIFY(layer.aborted());
    QCOMPARE(layer.allText(), QString());
    QCOMPARE(page.text(abort), QString());
    QVERIFY(polls >= 4);

    // A check that never fires changes nothing.
    const AbortCheck never = [] { return false; };
    QCOMPARE(page.render(72, never).size(), QSize(612, 792));
    QVERIFY(!page.textLayer(never).aborted());
    QCOMPARE(normalised(page.text(never)), number);
}

QTEST_GUILESS_MAIN(TestPdfService)
#include "tst_pdfservice.moc"
