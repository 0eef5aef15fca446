// The text availability scan: which pages have no extractable text, its
// progress and its cancellation.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "Workflow.h"

#include <QTest>

namespace {

enum class Kind {
    Text,
    Whitespace,
    ImageOnly,
    OneLetter,
    Empty,
    NoBreakSpaces,
    ImageWithText,
    ShxCommentsOnly, // stroke-font text with AutoCAD's comments: text
    DrawnOnly,       // the same strokes without comments: no text
    OtherComment,    // a square comment of another title: no text
};

Fixtures::Page pageOf(Kind kind)
{
    Fixtures::Page page;
    switch (kind) {
    case Kind::Text:
        page.texts = {{QStringLiteral("A-101 Ground floor plan"), 100, 100, 10}};
        break;
    case Kind::Whitespace:
        page.whitespaceText = true;
        page.lineSegments = 20;
        break;
    case Kind::ImageOnly:
        page.image = true;
        break;
    case Kind::OneLetter:
        page.texts = {{QStringLiteral("x"), 600, 780, 6}};
        break;
    case Kind::Empty:
        break;
    case Kind::NoBreakSpaces:
        page.texts = {{QStringLiteral("\u00A0 \u00A0"), 100, 100, 10}};
        break;
    case Kind::ImageWithText:
        page.image = true;
        page.texts = {{QStringLiteral("S-1"), 50, 50, 10}};
        break;
    case Kind::ShxCommentsOnly:
    case Kind::DrawnOnly:
    case Kind::OtherComment: {
        const Fixtures::DrawnText drawn{QStringLiteral("A-101"), 500, 40, 12};
        page.drawnTexts = {drawn};
        if (kind == Kind::ShxCommentsOnly)
            page.shxComments = {{drawn.text, Fixtures::drawnBox(drawn)}};
        if (kind == Kind::OtherComment)
            page.shxComments = {{drawn.text, Fixtures::drawnBox(drawn), QStringLiteral("Reviewer note")}};
        break;
    }
    }
    return page;
}

Fixtures::Built documentOf(const QList<Kind>& kinds)
{
    Fixtures::Document spec;
    for (Kind kind : kinds)
        spec.pages.append(pageOf(kind));
    return Fixtures::build(spec);
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestTextScan : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void findsPagesWithoutText_data();
    void findsPagesWithoutText();
    void progressRisesByOne();
    void cancels();
};

void TestTextScan::findsPagesWithoutText_data()
{
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<QSet<int>>("expected");
    QTest::newRow("mixed") << QList<Kind>{Kind::Text,         Kind::Whitespace, Kind::ImageOnly,
                                          Kind::OneLetter,    Kind::Empty,      Kind::NoBreakSpaces,
                                          Kind::ImageWithText}
                           << QSet<int>{1, 2, 4, 5};
    QTest::newRow("every page has text")
        << QList<Kind>{Kind::Text, Kind::OneLetter, Kind::ImageWithText} << QSet<int>{};
    QTest::newRow("one blank page") << QList<Kind>{Kind::Empty} << QSet<int>{0};
    // AutoCAD's SHX text comments carry the text its stroke fonts draw: such
    // a page has text; strokes alone, or another kind of comment, do not.
    QTest::newRow("stroke text and comments")
        << QList<Kind>{Kind::ShxCommentsOnly, Kind::DrawnOnly, Kind::OtherComment, Kind::Text}
        << QSet<int>{1, 2};
    // Enough pages that both threads take many of them: the set must be
    // the same as a page-by-page scan gives.
    QList<Kind> many;
    QSet<int> blank;
    for (int i = 0; i < 60; ++i) {
        const Kind kind = i % 7 == 3 ? Kind::ImageOnly : i % 5 == 1 ? Kind::Whitespace : Kind::Text;
        many.append(kind);
        if (kind != Kind::Text)
            blank.insert(i);
    }
    QTest::newRow("sixty pages") << many << blank;
}

void TestTextScan::findsPagesWithoutText()
{
    QFETCH(QList<Kind>, kinds);
    QFETCH(QSet<int>, expected);
    const Fixtures::Built built = documentOf(kinds);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    WorkCancellation cancel;
    QCOMPARE(DrawingWorkflow::pagesWithoutText(*document, cancel), expected);
}

void TestTextScan::progressRisesByOne()
{
    QList<Kind> kinds;
    for (int i = 0; i < 25; ++i)
        kinds.append(i % 2 ? Kind::Text : Kind::Empty);
    const Fixtures::Built built = documentOf(kinds);
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    WorkCancellation cancel;
    QList<QPair<int, int>> calls;
    DrawingWorkflow::pagesWithoutText(*document, cancel, [&](int done, int total) {
        calls.append({done, total});
    });
    QCOMPARE(calls.size(), kinds.size());
    for (int i = 0; i < calls.size(); ++i)
        QCOMPARE(calls[i], qMakePair(i + 1, int(kinds.size())));
}

void TestTextScan::cancels()
{
    const Fixtures::Built built =
        documentOf({Kind::Text, Kind::Empty, Kind::Text, Kind::ImageOnly, Kind::Text});
    const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
    QVERIFY(document);
    {
        WorkCancellation cancel;
        cancel.cancel();
        int calls = 0;
        QVERIFY_THROWS_EXCEPTION(CancellationError, DrawingWorkflow::pagesWithoutText(
                                                        *document, cancel, [&](int, int) { ++calls; }));
        QCOMPARE(calls, 0);
    }
    // After the first page, and after the last one, where only the final
    // check can notice it.
    for (int at : {1, 5}) {
        WorkCancellation cancel;
        QVERIFY_THROWS_EXCEPTION(
            CancellationError, DrawingWorkflow::pagesWithoutText(*document, cancel, [&](int done, int total) {
                if (done == at)
                    cancel.cancel();
                Q_UNUSED(total);
            }));
    }
}

QTEST_GUILESS_MAIN(TestTextScan)
#include "tst_textscan.moc"
