// The title block as a person reads it: ruled lines found in a rendering
// (hairlines and thin filled bars, not text strokes or filled areas), the
// cells they make, the lines alike on every page (furniture), and
// captions that do not reach across a ruled line.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "SuggestionText.h"
#include "TitleBlock.h"

#include <QPainter>
#include <QtTest>

using TitleBlock::Rule;
using TitleBlock::Rules;

namespace {

// The runs of `page` whose words read `text`.
QList<int> runsReading(const SuggestionText::Page& page, const QString& text)
{
    QList<int> found;
    for (int r = 0; r < page.runs.size(); ++r) {
        if (page.runs[r].words.join(QLatin1Char(' ')) == text)
            found.append(r);
    }
    return found;
}

QRectF displayBoxOf(const SuggestionText::Page& page, const QString& text)
{
    const QList<int> runs = runsReading(page, text);
    return runs.isEmpty() ? QRectF() : page.runs[runs.first()].display;
}

} // namespace

class TestTitleBlock : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    // A 1 px hairline and a 2 px bar are rules, placed in the area's
    // points; a filled block, a short stroke (a glyph's bar) and grey
    // shading are not.
    void rulesFromAnImage()
    {
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.fillRect(20, 100, 360, 1, Qt::black); // hairline
            painter.fillRect(200, 10, 2, 280, Qt::black); // vertical bar
            painter.fillRect(30, 150, 120, 40, Qt::black); // filled block
            painter.fillRect(250, 200, 40, 3, Qt::black);  // a glyph's bar: 20 pt
            painter.fillRect(220, 250, 160, 1, QColor(220, 220, 220)); // faint shading
        }
        // Two pixels a point, the area starting at (100, 50).
        const Rules rules = TitleBlock::rulesFrom(image, QRectF(100, 50, 200, 150));
        QCOMPARE(rules.rules().size(), 2);
        const Rule h = rules.rules().at(0).horizontal ? rules.rules().at(0) : rules.rules().at(1);
        const Rule v = rules.rules().at(0).horizontal ? rules.rules().at(1) : rules.rules().at(0);
        QVERIFY(h.horizontal);
        QVERIFY(!v.horizontal);
        QCOMPARE(h.at, 100.25);
        QCOMPARE(h.from, 110.0);
        QCOMPARE(h.to, 290.0);
        QCOMPARE(v.at, 200.5);
        QCOMPARE(v.from, 55.0);
        QCOMPARE(v.to, 195.0);
        QVERIFY(TitleBlock::rulesFrom(QImage(), QRectF(0, 0, 10, 10)).rules().isEmpty());
    }

    // Two lines of text are separated by a rule between them that runs
    // across both, not by one beside them; the cell around a box is made
    // of the nearest rules along its sides within reach.
    void separationAndCells()
    {
        const Rules rules({{true, 100, 0, 300}, {true, 40, 0, 300}, {true, 180, 0, 300}, {false, 10, 0, 200},
                           {false, 290, 0, 200}, {true, 90, 400, 600}},
                          QRectF(0, 0, 600, 200));
        const QRectF above(50, 80, 150, 14), below(60, 104, 120, 14), aside(420, 104, 100, 14);
        QVERIFY(rules.separates(above, below));
        QVERIFY(rules.separates(below, above));
        QVERIFY(!rules.separates(below, below.translated(0, 16)));
        QVERIFY(!rules.separates(aside, aside.translated(0, -20))); // its rule lies elsewhere
        QVERIFY(rules.crosses(QRectF(50, 90, 100, 20), 1));
        QVERIFY(!rules.crosses(QRectF(50, 104, 100, 20), 1));

        const Rules::Cell cell = rules.cellAround(below, 200);
        QCOMPARE(cell.top, std::optional<double>(100));
        QCOMPARE(cell.bottom, std::optional<double>(180));
        QCOMPARE(cell.left, std::optional<double>(10));
        QCOMPARE(cell.right, std::optional<double>(290));
        const Rules::Cell near = rules.cellAround(below, 30);
        QCOMPARE(near.top, std::optional<double>(100));
        QVERIFY(!near.bottom); // 62 pt away
        QVERIFY(!near.left);
    }

    // A caption names the value under it, but not across a ruled line:
    // there it captions another cell.
    void captionsStayInTheirCell()
    {
        SuggestionText::Page page;
        SuggestionText::Run caption;
        caption.words = {QStringLiteral("TITLE")};
        caption.lead = 1;
        caption.leadLabel = SuggestionText::Label::Title;
        caption.display = QRectF(10, 10, 30, 6);
        caption.height = 6;
        page.runs.append(caption);
        const QRectF value(10, 24, 120, 12);
        using SuggestionText::Label;
        QCOMPARE(TitleBlock::captionOf(page, value, 12, Label::None), Label::Title);
        const Rules between({{true, 20, 0, 200}}, QRectF(0, 0, 200, 100));
        QCOMPARE(TitleBlock::captionOf(page, value, 12, Label::None, between), Label::None);
        const Rules elsewhere({{true, 60, 0, 200}}, QRectF(0, 0, 200, 100));
        QCOMPARE(TitleBlock::captionOf(page, value, 12, Label::None, elsewhere), Label::Title);
        // A caption on the value's own line wins whatever the rules.
        QCOMPARE(TitleBlock::captionOf(page, value, 12, Label::Number, between), Label::Number);
    }

    // On a plotted strip title block: the rule between the client's cell
    // and the title's is found in a rendering of the page, the client and
    // address lines are furniture while the titles and numbers are not,
    // and the cell around a title lies between the rules.
    void ruledStripOfAPlot()
    {
        Fixtures::TitleBlockSet set;
        set.layout = Fixtures::TitleBlockSet::RuledStrip;
        set.sheets = Fixtures::officeSheets(3);
        const Fixtures::Built built = Fixtures::titleBlockSet(set);
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
        QVERIFY(document);
        QList<SuggestionText::Page> pages;
        for (int i = 0; i < 3; ++i) {
            const std::optional<PdfPage> page = document->page(i);
            pages.append(SuggestionText::read(page->textLayer(), page->displayTransform()));
        }
        const std::optional<PdfPage> first = document->page(0);
        const QRectF area(QPointF(2100, 1100), QPointF(2384, 1684)); // displayed: the strip's lower part
        const QImage image = first->renderRegion(first->displayTransform().inverted().mapRect(area), 72);
        QVERIFY(!image.isNull());
        const Rules rules = TitleBlock::rulesFrom(image, area);

        const QRectF address = displayBoxOf(pages[0], QStringLiteral("17 Quayside Road"));
        const QRectF title = displayBoxOf(pages[0], QStringLiteral("Ground Floor Plan"));
        const QRectF number = displayBoxOf(pages[0], QStringLiteral("A-101"));
        const QRectF date = displayBoxOf(pages[0], QStringLiteral("Date"));
        QVERIFY(!address.isNull() && !title.isNull() && !number.isNull() && !date.isNull());
        // The two lines stand closer than a line's height: only the rule
        // tells them apart.
        QVERIFY(title.top() - address.bottom() < 0.9 * title.height());
        QVERIFY(rules.separates(address, title));
        QVERIFY(!rules.separates(title, displayBoxOf(pages[1], QStringLiteral("Terrace Plan"))));
        const Rules::Cell cell = rules.cellAround(title, 200);
        QVERIFY(cell.top && cell.bottom && cell.left && cell.right);
        QVERIFY(*cell.top > address.bottom() && *cell.top < title.top());

        const QList<QSet<int>> furniture = TitleBlock::furniture(pages);
        for (const QString& text : {QStringLiteral("Harbour Trust"), QStringLiteral("17 Quayside Road"),
                                    QStringLiteral("Date"), QStringLiteral("Project 1409")})
            QVERIFY2(furniture[0].contains(runsReading(pages[0], text).value(0, -1)), qPrintable(text));
        for (const QString& text : {QStringLiteral("Ground Floor Plan"), QStringLiteral("A-101")})
            QVERIFY2(!furniture[0].contains(runsReading(pages[0], text).value(0, -1)), qPrintable(text));
        QVERIFY(TitleBlock::furniture(pages.mid(0, 1)).at(0).isEmpty());

    }
};

QTEST_GUILESS_MAIN(TestTitleBlock)
#include "tst_titleblock.moc"
