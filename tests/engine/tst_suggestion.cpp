// Region suggestions: on drawing sets with title blocks of several layouts,
// rotated sheets, numbers that share a long prefix and numbers drawn glyph
// by glyph, the suggested regions must read every sheet's true number and
// title. The share of groups that do is printed at the end.

#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "RegionSuggestion.h"
#include "SuggestionText.h"
#include "Workflow.h"

#include <QtTest>

using Fixtures::SheetName;
using Fixtures::TitleBlockSet;

namespace {

struct Truth
{
    QString number;
    QString title;
};

QList<int> allPages(int count)
{
    QList<int> pages;
    for (int i = 0; i < count; ++i)
        pages.append(i);
    return pages;
}

QList<RegionSuggestion::PageInput> inputsOf(const PdfDocument& document, const QList<int>& pages)
{
    QList<RegionSuggestion::PageInput> inputs;
    for (const int index : pages) {
        const std::optional<PdfPage> page = document.page(index);
        inputs.append({index, page->textLayer(), page->displayTransform(), page->cropBox()});
    }
    return inputs;
}

// A text as a person types it: typographic hyphens as "-" (the reading
// may give either, as producers write them).
QString typed(QString text)
{
    for (const QChar c : {QChar(0x2010), QChar(0x2011), QChar(0x2012), QChar(0x2212)})
        text.replace(c, QLatin1Char('-'));
    return text;
}

// How many of `pages` read exactly their true names with `regions`.
int pagesReadTrue(const QByteArray& bytes, const QList<int>& pages, const PageRegions& regions,
                  const QList<Truth>& truths, QStringList* wrong = nullptr)
{
    QMap<int, PageRegions> map;
    for (const int page : pages)
        map.insert(page, regions);
    WorkCancellation cancel;
    int good = 0;
    for (const PageRead& read : DrawingWorkflow::read(bytes, pages, map, cancel)) {
        const Truth& truth = truths.at(read.index);
        if (typed(read.number) == typed(truth.number) && read.title == truth.title)
            ++good;
        else if (wrong)
            wrong->append(
                QStringLiteral("page %1: \"%2\" / \"%3\"").arg(read.index + 1).arg(read.number, read.title));
    }
    return good;
}

QList<Truth> truthsOf(const QList<SheetName>& sheets)
{
    QList<Truth> truths;
    for (const SheetName& s : sheets)
        truths.append({s.number, s.title()});
    return truths;
}

TitleBlockSet setOf(TitleBlockSet::Layout layout, int rotate, QList<SheetName> sheets)
{
    TitleBlockSet set;
    set.layout = layout;
    set.rotate = rotate;
    set.sheets = std::move(sheets);
    return set;
}

// A page text layer rebuilt so that every character is a word and a line of
// its own (text written glyph by glyph), or so that each line is one word
// (words run together).
PageText reshaped(const PageText& layer, bool splitEveryGlyph)
{
    QList<PageText::Char> chars = layer.chars();
    QList<PageText::Word> words;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (splitEveryGlyph) {
            chars[i].line = int(i);
            chars[i].spaceAfter = true;
            words.append({QString(chars[i].ch), chars[i].box});
        } else {
            chars[i].spaceAfter = false;
            if (i == 0 || chars[i].line != chars[i - 1].line)
                words.append({QString(), QRectF()});
            words.last().text += chars[i].ch;
            words.last().box =
                words.last().box.isNull() ? chars[i].box : words.last().box.united(chars[i].box);
        }
    }
    PageText result(chars, words);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Fixtures::TitleBlockSet)

class TestSuggestion : public QObject
{
    Q_OBJECT

    int m_groups = 0;
    int m_exact = 0;
    QStringList m_missed;

  private Q_SLOTS:
    void layoutsReadTrueNames_data()
    {
        QTest::addColumn<TitleBlockSet>("set");
        const auto arch = Fixtures::architecturalSheets(10);
        const auto prefixed = Fixtures::prefixedSheets(10);
        const auto add = [](const char* name, TitleBlockSet set) { QTest::newRow(name) << set; };
        using L = TitleBlockSet;
        add("bottom right", setOf(L::BottomRight, 0, arch));
        add("bottom right, rotated 90, prefixed", setOf(L::BottomRight, 90, prefixed));
        TitleBlockSet glyphs = setOf(L::BottomRight, 0, prefixed);
        glyphs.glyphByGlyph = true;
        add("bottom right, glyph by glyph", glyphs);
        TitleBlockSet bare = setOf(L::BottomRight, 0, arch);
        bare.captions = false;
        add("bottom right, no captions", bare);
        TitleBlockSet view = setOf(L::BottomRight, 270, arch);
        view.viewTitle = true;
        add("bottom right, rotated 270, view titles", view);
        TitleBlockSet a3 = setOf(L::BottomRight, 0, arch);
        a3.sheet = QSizeF(1191, 842);
        add("bottom right, A3", a3);

        add("bottom strip", setOf(L::BottomStrip, 0, arch));
        TitleBlockSet stripGlyphs = setOf(L::BottomStrip, 90, prefixed);
        stripGlyphs.glyphByGlyph = true;
        add("bottom strip, rotated 90, prefixed, glyph by glyph", stripGlyphs);
        TitleBlockSet stripView = setOf(L::BottomStrip, 180, arch);
        stripView.viewTitle = true;
        add("bottom strip, rotated 180, view titles", stripView);
        TitleBlockSet stripBare = setOf(L::BottomStrip, 0, prefixed);
        stripBare.captions = false;
        add("bottom strip, no captions", stripBare);

        add("right strip", setOf(L::RightStrip, 0, arch));
        add("right strip, rotated 270, prefixed", setOf(L::RightStrip, 270, prefixed));
        TitleBlockSet rightView = setOf(L::RightStrip, 0, arch);
        rightView.viewTitle = true;
        rightView.glyphByGlyph = true;
        add("right strip, view titles, glyph by glyph", rightView);
        TitleBlockSet rightBare = setOf(L::RightStrip, 90, arch);
        rightBare.captions = false;
        add("right strip, rotated 90, no captions", rightBare);
        TitleBlockSet portrait = setOf(L::RightStrip, 0, prefixed);
        portrait.sheet = QSizeF(842, 1191);
        add("right strip, A3 portrait", portrait);
        add("two sheets", setOf(L::BottomRight, 0, Fixtures::architecturalSheets(2)));

        // Other producers' habits: every string letter-spaced, kerned in a
        // TJ array, or the sheet inside an offset crop box.
        TitleBlockSet spaced = setOf(L::RightStrip, 90, prefixed);
        spaced.charSpacing = 1.2;
        add("right strip, rotated 90, letter-spaced", spaced);
        TitleBlockSet kerned = setOf(L::BottomStrip, 0, arch);
        kerned.kerning = 35;
        add("bottom strip, kerned", kerned);
        TitleBlockSet offset = setOf(L::BottomRight, 270, prefixed);
        offset.cropOffset = QPointF(36, 24);
        add("bottom right, rotated 270, offset crop box", offset);

        // Small A4 schematics whose labels stand in front of their values
        // ("Id: 2/9"), with a changing sheet path after "Sheet:" and
        // several sheets sharing a title.
        const auto schematic = Fixtures::schematicSheets(9);
        TitleBlockSet inlined = setOf(L::InlineLabels, 0, schematic);
        inlined.sheet = QSizeF(842, 595);
        add("inline labels, A4", inlined);
        inlined.rotate = 90;
        add("inline labels, A4, rotated 90", inlined);

        // One sheet shows nothing changing: its captions alone tell.
        add("bottom right, one sheet", setOf(L::BottomRight, 0, Fixtures::architecturalSheets(1)));
        // Cells ruled apart, the client's cell above the title's in the
        // title's own size, no number or title caption; hyphens as a BIM
        // program may write them.
        add("ruled strip", setOf(L::RuledStrip, 0, Fixtures::officeSheets(8)));
        add("ruled strip, rotated", setOf(L::RuledStrip, 90, Fixtures::officeSheets(8)));
        add("ruled strip, U+2010 hyphens", setOf(L::RuledStrip, 0, Fixtures::officeSheets(8, QChar(0x2010))));
        add("ruled strip, U+2212 minus", setOf(L::RuledStrip, 270, Fixtures::officeSheets(6, QChar(0x2212))));
        TitleBlockSet oneInline = setOf(L::InlineLabels, 0, Fixtures::schematicSheets(1));
        oneInline.sheet = QSizeF(842, 595);
        add("inline labels, one sheet", oneInline);
    }
    void layoutsReadTrueNames()
    {
        QFETCH(TitleBlockSet, set);
        const Fixtures::Built built = Fixtures::titleBlockSet(set);
        const QList<int> pages = allPages(int(set.sheets.size()));
        WorkCancellation cancel;
        const std::optional<RegionSuggestion::Suggestion> found =
            RegionSuggestion::suggestFor(built.bytes, pages, cancel);
        ++m_groups;
        QStringList wrong;
        const int good = found ? pagesReadTrue(built.bytes, pages, PageRegions(found->number, found->title),
                                               truthsOf(set.sheets), &wrong)
                               : 0;
        if (good == pages.size())
            ++m_exact;
        else
            m_missed.append(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY2(found, "nothing suggested");
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
        QCOMPARE(found->pagesRead, int(pages.size()));
        QCOMPARE(found->pagesWithText, int(pages.size()));
        QCOMPARE(typed(found->exampleNumber), typed(set.sheets.first().number));
        QCOMPARE(found->exampleTitle, set.sheets.first().title());
    }

    // The sample's two groups: every sheet read exactly, except the one
    // whose title block sits elsewhere (it needs regions of its own).
    void sampleGroups()
    {
        const Fixtures::Built built = Fixtures::sample();
        const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
        QList<Truth> truths;
        for (const Fixtures::SampleSheet& s : sheets)
            truths.append({s.number, s.title});
        for (int group = 0; group < 2; ++group) {
            QList<int> pages, normal;
            for (const Fixtures::SampleSheet& s : sheets) {
                if (s.group == group && !s.imageOnly) {
                    pages.append(s.page);
                    if (!s.titleBlockElsewhere)
                        normal.append(s.page);
                }
            }
            WorkCancellation cancel;
            const auto found = RegionSuggestion::suggestFor(built.bytes, pages, cancel);
            ++m_groups;
            const int good =
                found ? pagesReadTrue(built.bytes, normal, PageRegions(found->number, found->title), truths)
                      : 0;
            if (good == normal.size())
                ++m_exact;
            else
                m_missed.append(QStringLiteral("sample group %1").arg(group + 1));
            QVERIFY(found);
            QCOMPARE(good, int(normal.size()));
            QCOMPARE(found->pagesRead, int(normal.size()));
        }

        // The sheet whose title block sits elsewhere, on its own: found
        // from its captions.
        const Fixtures::SampleSheet elsewhere =
            *std::find_if(sheets.begin(), sheets.end(),
                          [](const Fixtures::SampleSheet& s) { return s.titleBlockElsewhere; });
        WorkCancellation cancel;
        const auto own = RegionSuggestion::suggestFor(built.bytes, {elsewhere.page}, cancel);
        QVERIFY(own);
        QCOMPARE(pagesReadTrue(built.bytes, {elsewhere.page}, PageRegions(own->number, own->title), truths),
                 1);
    }

    // Numbers built of project, originator, level, type and role codes run
    // past 12 characters: under a number caption they are taken, while an
    // uncaptioned code of that length that also changes from sheet to
    // sheet (a model file reference) is not.
    void captionedLongCodes()
    {
        Fixtures::Document spec;
        QList<Truth> truths;
        const QStringList titles = {QStringLiteral("GROUND FLOOR PLAN"), QStringLiteral("FIRST FLOOR PLAN"),
                                    QStringLiteral("ROOF PLAN"), QStringLiteral("SECTIONS A-A AND B-B")};
        for (int i = 0; i < titles.size(); ++i) {
            const QString number = QStringLiteral("2417-ARC-ZZ-0%1-DR-A-10%2").arg(i).arg(i + 1, 2, 10, QChar('0'));
            Fixtures::Page page;
            page.mediaBox = QRectF(0, 0, 1191, 842);
            page.texts = {{QStringLiteral("DRAWING NO."), 850, 80, 6},
                          {number, 850, 60, 12},
                          {QStringLiteral("DRAWING TITLE"), 850, 140, 6},
                          {titles[i], 850, 118, 14},
                          {QStringLiteral("2417-ARC-ZZ-0%1-M3-A-0001").arg(i), 60, 30, 12},
                          {QStringLiteral("SCALE"), 1060, 80, 6},
                          {QStringLiteral("1:100"), 1060, 60, 12}};
            spec.pages.append(page);
            truths.append({number, titles[i]});
        }
        const Fixtures::Built built = Fixtures::build(spec);
        const QList<int> pages = allPages(int(titles.size()));
        WorkCancellation cancel;
        const auto found = RegionSuggestion::suggestFor(built.bytes, pages, cancel);
        QVERIFY(found);
        QStringList wrong;
        QCOMPARE(pagesReadTrue(built.bytes, pages, PageRegions(found->number, found->title), truths, &wrong),
                 int(titles.size()));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));

        QVERIFY(SuggestionText::looksLikeNumber(QStringLiteral("2417-ARC-ZZ-01-DR-A-1001"),
                                                SuggestionText::longestCaptionedNumber));
        QVERIFY(!SuggestionText::looksLikeNumber(QStringLiteral("2417-ARC-ZZ-01-DR-A-1001")));
    }

    // Layers that split every glyph into a word and a line of its own, or
    // run every line into one word, give the same suggestion.
    void wordsAndLinesDoNotMatter()
    {
        TitleBlockSet set = setOf(TitleBlockSet::BottomStrip, 0, Fixtures::prefixedSheets(6));
        const Fixtures::Built built = Fixtures::titleBlockSet(set);
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(built.bytes);
        const QList<RegionSuggestion::PageInput> inputs = inputsOf(*document, allPages(6));
        const auto plain = RegionSuggestion::suggest(inputs);
        QVERIFY(plain);
        for (const bool split : {true, false}) {
            QList<RegionSuggestion::PageInput> changed = inputs;
            for (RegionSuggestion::PageInput& input : changed)
                input.text = reshaped(input.text, split);
            const auto again = RegionSuggestion::suggest(changed);
            QVERIFY(again);
            QCOMPARE(again->number, plain->number);
            QCOMPARE(again->title, plain->title);
        }
    }

    // Nothing is suggested where nothing fits: no pages, no text, pages
    // whose text is the same everywhere, drawings without a title block.
    void nothingFound()
    {
        QVERIFY(!RegionSuggestion::suggest({}));

        Fixtures::Document same;
        for (int i = 0; i < 4; ++i) {
            Fixtures::Page page;
            page.texts = {{QStringLiteral("SHEET NO."), 400, 60, 6},
                          {QStringLiteral("A-101"), 400, 30, 20},
                          {QStringLiteral("SHEET TITLE"), 400, 120, 6},
                          {QStringLiteral("GROUND FLOOR PLAN"), 400, 100, 14}};
            same.pages.append(page);
        }
        Fixtures::Document scanned;
        scanned.pages = {Fixtures::Page{}, Fixtures::Page{}};
        scanned.pages[0].image = scanned.pages[1].image = true;
        Fixtures::Document plain;
        for (int i = 0; i < 3; ++i) {
            Fixtures::Page page;
            page.texts = {{QStringLiteral("OFFICE"), 100.0 + 40 * i, 300, 10},
                          {QStringLiteral("STORE"), 300, 200.0 + 30 * i, 10}};
            plain.pages.append(page);
        }
        for (const Fixtures::Document* doc : {&same, &scanned, &plain}) {
            WorkCancellation cancel;
            QVERIFY(!RegionSuggestion::suggestFor(Fixtures::build(*doc).bytes,
                                                  allPages(int(doc->pages.size())), cancel));
        }
        // A single sheet whose cells carry no captions: nothing tells its
        // number and title from the other text.
        for (const TitleBlockSet::Layout layout : {TitleBlockSet::BottomRight, TitleBlockSet::InlineLabels}) {
            TitleBlockSet one =
                setOf(layout, 0,
                      layout == TitleBlockSet::InlineLabels ? Fixtures::schematicSheets(1)
                                                            : Fixtures::architecturalSheets(1));
            one.captions = false;
            WorkCancellation cancel;
            QVERIFY(!RegionSuggestion::suggestFor(Fixtures::titleBlockSet(one).bytes, {0}, cancel));
        }
    }

    // A line holding several labelled values is cut at each colon label,
    // known or not, so each value keeps its own label; label words without
    // a colon inside a line stay text.
    void labelsOnOneLine()
    {
        Fixtures::Document doc;
        Fixtures::Page page;
        page.texts = {{QStringLiteral("Size: A4 Date: 2026-05-26 Sheet No: A-101/2"), 100, 300, 8},
                      {QStringLiteral("Company: Northgate"), 100, 200, 8},
                      {QStringLiteral("COVER SHEET"), 100, 100, 8}};
        doc.pages = {page};
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(Fixtures::build(doc).bytes);
        const std::optional<PdfPage> pdfPage = document->page(0);
        const SuggestionText::Page read =
            SuggestionText::read(pdfPage->textLayer(), pdfPage->displayTransform());
        QMap<QString, SuggestionText::Label> pieces;
        for (const SuggestionText::Piece& piece : read.pieces)
            pieces.insert(piece.text, piece.inlineLabel);
        using SuggestionText::Label;
        const QMap<QString, Label> expected = {{QStringLiteral("A4"), Label::Other},
                                               {QStringLiteral("2026-05-26"), Label::Other},
                                               {QStringLiteral("A-101/2"), Label::Number},
                                               {QStringLiteral("Northgate"), Label::Other},
                                               {QStringLiteral("COVER SHEET"), Label::None}};
        QCOMPARE(pieces, expected);
    }

    void failures()
    {
        const Fixtures::Built built =
            Fixtures::titleBlockSet(setOf(TitleBlockSet::BottomRight, 0, Fixtures::architecturalSheets(3)));
        WorkCancellation cancelled;
        cancelled.cancel();
        QVERIFY_THROWS_EXCEPTION(CancellationError,
                                 RegionSuggestion::suggestFor(built.bytes, allPages(3), cancelled));
        WorkCancellation cancel;
        try {
            RegionSuggestion::suggestFor(QByteArray("not a pdf"), {0}, cancel);
            QFAIL("no error");
        } catch (const PlanfolioError& error) {
            QCOMPARE(error.message(), QStringLiteral("The source PDF could not be read."));
        }
        // Cancelled from the progress of the first page: no result.
        WorkCancellation midway;
        QList<int> seen;
        QVERIFY_THROWS_EXCEPTION(
            CancellationError,
            RegionSuggestion::suggestFor(built.bytes, allPages(3), midway, [&](int done, int total) {
                seen.append(done);
                QCOMPARE(total, 3);
                midway.cancel();
            }));
        QVERIFY(!seen.isEmpty());
    }

    void spreadOverTheGroup()
    {
        const QList<int> pages = allPages(100);
        const QList<int> chosen = RegionSuggestion::spread(pages, 40);
        QCOMPARE(chosen.size(), 40);
        QCOMPARE(chosen.first(), 0);
        QCOMPARE(chosen.last(), 99);
        QVERIFY(std::is_sorted(chosen.begin(), chosen.end()));
        QCOMPARE(QSet<int>(chosen.begin(), chosen.end()).size(), 40);
        QCOMPARE(RegionSuggestion::spread({4, 7}, 40), QList<int>({4, 7}));
    }

    void sheetNumberShapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("plain") << "A-101" << true;
        QTest::newRow("prefixed") << "2417-A-1001" << true;
        QTest::newRow("dotted") << "S.201" << true;
        QTest::newRow("with a space") << "M 401" << true;
        QTest::newRow("two characters") << "A1" << true;
        QTest::newRow("one character") << "7" << false;
        QTest::newRow("thirteen characters") << "2417-ARC-1001" << false;
        QTest::newRow("no digit") << "COVER" << false;
        QTest::newRow("date") << "18.03.2024" << false;
        QTest::newRow("sheet count") << "3 OF 12" << false;
        QTest::newRow("scale") << "1:100" << false;
        QTest::newRow("sheet of a count") << "2/11" << true;
        QTest::newRow("slashed") << "A-101/2" << true;
        QTest::newRow("sheet path") << "/part3/" << false;
        QTest::newRow("U+2010 hyphen") << QStringLiteral("100\u201000") << true;
        QTest::newRow("U+2011 hyphen") << QStringLiteral("A\u2011101") << true;
        QTest::newRow("U+2012 figure dash") << QStringLiteral("M\u2012001") << true;
        QTest::newRow("U+2212 minus") << QStringLiteral("S\u2212201A") << true;
        QTest::newRow("no separator") << "A101" << true;
        QTest::newRow("decimal") << "A1.01" << true;
        QTest::newRow("short decimal") << "E1.1" << true;
        QTest::newRow("sketch") << "SK-03" << true;
        QTest::newRow("figure letter") << "FIGURE B" << true;
        QTest::newRow("figure number") << "FIGURE F.1" << true;
        QTest::newRow("figure alone") << "FIGURE" << false;
        QTest::newRow("em dash") << QStringLiteral("A\u2014101") << false;
    }
    void sheetNumberShapes()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QCOMPARE(SuggestionText::looksLikeNumber(text), number);
    }

    void pageNumbers()
    {
        for (const char* text : {"1", "12", "3/4", "11/11"})
            QVERIFY2(SuggestionText::looksLikePageNumber(QLatin1String(text)), text);
        for (const char* text : {"A-1", "", "3 of 11", "1:50", "12345"})
            QVERIFY2(!SuggestionText::looksLikePageNumber(QLatin1String(text)), text);
    }

    // A single sheet of a schematic whose number is a page number written
    // "Sheet 3 of 11" on one line: the caption makes "3" its number.
    void captionedPageNumberOfOneSheet()
    {
        Fixtures::Document doc;
        Fixtures::Page page;
        page.mediaBox = QRectF(0, 0, 842, 595);
        page.texts = {{QStringLiteral("Acme Motion Controls"), 560, 96, 10},
                      {QStringLiteral("Title: Motor Driver Stage"), 560, 76, 11},
                      {QStringLiteral("Size: A4"), 560, 58, 10},
                      {QStringLiteral("Rev: 2"), 700, 58, 10},
                      {QStringLiteral("Sheet 3 of 11"), 560, 40, 10},
                      {QStringLiteral("U7"), 200, 300, 10},
                      {QStringLiteral("GND"), 260, 300, 10}};
        doc.pages.append(page);
        const Fixtures::Built built = Fixtures::build(doc);
        WorkCancellation cancel;
        const std::optional<RegionSuggestion::Suggestion> found =
            RegionSuggestion::suggestFor(built.bytes, {0}, cancel);
        QVERIFY(found);
        QCOMPARE(found->exampleNumber, QStringLiteral("3"));
        QCOMPARE(found->exampleTitle, QStringLiteral("Motor Driver Stage"));
    }

    // Over a ruled strip the title region keeps to the title's cell: it
    // never takes in the client and address set right above it, and a
    // title longer than the others still reads whole.
    void titleKeepsToItsCell()
    {
        TitleBlockSet set = setOf(TitleBlockSet::RuledStrip, 0, Fixtures::officeSheets(8));
        const Fixtures::Built built = Fixtures::titleBlockSet(set);
        WorkCancellation cancel;
        // Suggested from the first five sheets, read on all eight: sheet 6
        // has the longest title.
        const std::optional<RegionSuggestion::Suggestion> found =
            RegionSuggestion::suggestFor(built.bytes, allPages(5), cancel);
        QVERIFY(found);
        QVERIFY(!found->title.intersects(built.boxOf(0, QStringLiteral("17 Quayside Road"))));
        QStringList wrong;
        QCOMPARE(pagesReadTrue(built.bytes, allPages(8), PageRegions(found->number, found->title),
                               truthsOf(set.sheets), &wrong),
                 8);
    }

    // A sheet of another size, alone in its group and without number or
    // title captions, takes the regions of a group whose title block
    // stands alike, moved to where its block stands; a sheet with another
    // block gets nothing.
    void singleSheetLikeAnotherGroup()
    {
        TitleBlockSet strip = setOf(TitleBlockSet::RuledStrip, 0, Fixtures::officeSheets(5));
        TitleBlockSet wide = setOf(TitleBlockSet::RuledStrip, 0, Fixtures::officeSheets(6).mid(5));
        wide.sheet = QSizeF(2600, 1684);
        TitleBlockSet other = setOf(TitleBlockSet::BottomStrip, 0, Fixtures::architecturalSheets(1));
        Fixtures::Document doc;
        doc.pages = Fixtures::titleBlockPages(strip) + Fixtures::titleBlockPages(wide) +
                    Fixtures::titleBlockPages(other);
        const Fixtures::Built built = Fixtures::build(doc);
        WorkCancellation cancel;
        const std::optional<RegionSuggestion::Suggestion> model =
            RegionSuggestion::suggestFor(built.bytes, allPages(5), cancel);
        QVERIFY(model);
        QVERIFY(!RegionSuggestion::suggestFor(built.bytes, {5}, cancel)); // nothing tells it alone
        const std::optional<RegionSuggestion::Suggestion> like =
            RegionSuggestion::suggestLikeFor(built.bytes, {5}, allPages(5), *model, cancel);
        QVERIFY(like);
        QCOMPARE(like->exampleNumber, wide.sheets.first().number);
        QCOMPARE(like->exampleTitle, wide.sheets.first().title());
        QVERIFY(std::abs(like->number.left() - model->number.left() - 216) < 0.01);
        QVERIFY(!RegionSuggestion::suggestLikeFor(built.bytes, {6}, allPages(5), *model, cancel));
    }

    void cleanupTestCase()
    {
        const double share = m_groups ? 100.0 * m_exact / m_groups : 0;
        std::printf("Suggestion accuracy: %d of %d fixture groups read every true name (%.0f%%)%s%s\n",
                    m_exact, m_groups, share,
                    m_missed.isEmpty() ? "" : "; missed: ", qPrintable(m_missed.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(TestSuggestion)
#include "tst_suggestion.moc"
