// Regions files: what the window saves reads back the same, files written
// before layouts were kept still mean what they meant, entries with a
// layout find their group in a set whose groups come in another order, and
// a file of the wrong shape is refused with a message naming the file and
// the place.

#include "Fixtures.h"
#include "PdfDocument.h"
#include "RegionsFile.h"
#include "Workflow.h"

#include <QtTest>

using DocumentSafety::PageLayout;

namespace {

const PageLayout a1{QRectF(0, 0, 2384, 1684), QRectF(0, 0, 2384, 1684), 0};
const PageLayout a3{QRectF(0, 0, 842, 1191), QRectF(0, 0, 842, 1191), 0};
const PageLayout a1Turned{QRectF(0, 0, 1684, 2384), QRectF(0, 0, 1684, 2384), 90};

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("regions.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes);
    return path;
}

RegionsFile::Entry entry(const QRectF& number, const QRectF& title, std::optional<PageLayout> layout)
{
    return RegionsFile::Entry{PageRegions(number, title), layout};
}

} // namespace

class TestRegionsFile : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void savedFileReadsBackTheSame()
    {
        RegionsFile file;
        file.groups.insert(0, entry(QRectF(1840, 35, 110, 39), QRectF(1840, 132, 508, 56), a1));
        file.groups.insert(1, entry(QRectF(400.1234, 20, 80, 30), QRectF(400, 90, 300, 40), a3));
        file.groups.insert(2,
                           RegionsFile::Entry{PageRegions(QRectF(10, 10, 40, 20), std::nullopt), a1Turned});
        file.pages.insert(9, entry(QRectF(30, 1400, 110, 39), QRectF(30, 1500, 400, 56), a1));
        const QByteArray text = file.toJson();
        // Rectangles are kept to a thousandth of a point.
        QVERIFY2(text.contains("[400.123, 20, 80, 30]"), text.constData());

        QTemporaryDir dir;
        const RegionsFile back = RegionsFile::load(writeFile(dir, text));
        file.groups[1].regions.number = QRectF(400.123, 20, 80, 30);
        QCOMPARE(back.groups, file.groups);
        QCOMPARE(back.pages, file.pages);
        QVERIFY(!back.groups[2].regions.title);
    }

    // Next week's set: the same layouts, the groups in another order and a
    // group the file does not know. Entries with layouts follow their
    // layout; the unknown group is left without regions.
    void layoutsFindTheirGroups()
    {
        RegionsFile file;
        file.groups.insert(0, entry(QRectF(1, 1, 10, 10), QRectF(1, 20, 10, 10), a1));
        file.groups.insert(1, entry(QRectF(2, 2, 10, 10), QRectF(2, 20, 10, 10), a3));
        file.groups.insert(2, entry(QRectF(3, 3, 10, 10), QRectF(3, 20, 10, 10),
                                    PageLayout{QRectF(0, 0, 612, 792), QRectF(0, 0, 612, 792), 0}));
        file.pages.insert(4, entry(QRectF(4, 4, 10, 10), QRectF(4, 20, 10, 10), a1));
        file.pages.insert(5, entry(QRectF(5, 5, 10, 10), QRectF(5, 20, 10, 10), a1));

        RegionsFile::SetLayouts set;
        // Groups: A3 first, then A1 with 0.4 pt of producer noise, then A1 turned.
        const PageLayout noisyA1{QRectF(0.4, 0, 2384.4, 1684), QRectF(0.4, 0, 2384.4, 1684), 360};
        set.groups = {a3, noisyA1, a1Turned};
        set.pages = {a3, noisyA1, a1Turned, a3, noisyA1, a3};
        const RegionsFile::Match match = file.match(set);
        QCOMPARE(match.groups.keys(), QList<int>({0, 1}));
        QCOMPARE(match.groups[0], file.groups[1].regions);
        QCOMPARE(match.groups[1], file.groups[0].regions);
        QCOMPARE(match.unmatchedGroups, QList<int>({2}));
        // Page 5 has the A1 layout; page 6 is an A3 page now.
        QCOMPARE(match.pages.keys(), QList<int>({4}));
        QCOMPARE(match.unmatchedPages, QList<int>({5}));

        const QList<DrawingGroup> groups = {{{0, 3, 5}, QString()}, {{1, 4}, QString()}, {{2}, QString()}};
        QCOMPARE(match.effective(3, groups), file.groups[1].regions);
        QCOMPARE(match.effective(4, groups), file.pages[4].regions);
        QCOMPARE(match.effective(2, groups), PageRegions());
    }

    // A file written before layouts were kept names groups and pages by
    // number, and a number the set lacks is refused as before.
    void filesWithoutLayouts()
    {
        QTemporaryDir dir;
        const RegionsFile file = RegionsFile::load(
            writeFile(dir, R"({"groups": {"2": {"number": [1, 2, 30, 40], "title": [1, 50, 30, 40]}},
                     "pages": {"3": {"number": [5, 6, 30, 40]}}})"));
        QVERIFY(!file.groups[1].layout);
        RegionsFile::SetLayouts set{{a1, a3}, {a1, a3, a1}};
        const RegionsFile::Match match = file.match(set);
        QCOMPARE(match.groups.keys(), QList<int>({1}));
        QCOMPARE(match.pages.keys(), QList<int>({2}));
        QVERIFY(!match.pages[2].title);

        file.checkAgainst(2, 3);
        try {
            file.checkAgainst(1, 3);
            QFAIL("no error");
        } catch (const PlanfolioError& error) {
            QCOMPARE(error.message(),
                     file.path + QStringLiteral(": group 2 does not exist; the PDF has 1 group"));
        }
        // Entries with a layout are never refused for their numbers.
        RegionsFile withLayout;
        withLayout.groups.insert(7, entry(QRectF(1, 1, 9, 9), QRectF(1, 20, 9, 9), a1));
        withLayout.checkAgainst(1, 1);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("not json") << QByteArray("{\"groups\":") << "is not valid JSON";
        QTest::newRow("layout not an object")
            << QByteArray(R"({"groups": {"1": {"layout": 5}}})")
            << R"(groups.1.layout must be an object with "mediaBox", "cropBox" and "rotation")";
        QTest::newRow("layout incomplete")
            << QByteArray(R"({"groups": {"1": {"layout": {"mediaBox": [0, 0, 10, 10], "rotation": 0}}}})")
            << R"(groups.1.layout must be an object with "mediaBox", "cropBox" and "rotation")";
        QTest::newRow("rotation not whole")
            << QByteArray(R"({"pages": {"1": {"layout": {"mediaBox": [0, 0, 1, 1], "cropBox": [0, 0, 1, 1],)"
                          R"( "rotation": 90.5}}}})")
            << "pages.1.layout.rotation must be a whole number of degrees";
        QTest::newRow("bad box")
            << QByteArray(R"({"groups": {"1": {"layout": {"mediaBox": [0, 0, 1], "cropBox": [0, 0, 1, 1],)"
                          R"( "rotation": 0}}}})")
            << "groups.1.layout.mediaBox must be [x, y, width, height] in points";
        QTest::newRow("unknown layout key")
            << QByteArray(R"({"groups": {"1": {"layout": {"mediabox": [0, 0, 1, 1]}}}})")
            << R"(unknown key "mediabox" in groups.1.layout)";
        QTest::newRow("group zero") << QByteArray(R"({"groups": {"0": {}}})")
                                    << R"("0" in "groups" is not a group number)";
    }
    void badFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = writeFile(dir, text);
        try {
            RegionsFile::load(path);
            QFAIL("no error");
        } catch (const PlanfolioError& error) {
            QVERIFY2(error.message().startsWith(path + QStringLiteral(": ") + message),
                     qPrintable(error.message()));
        }
    }

    // The layouts of an open set are those its grouping used.
    void layoutsOfADocument()
    {
        const Fixtures::Built sample = Fixtures::sample();
        const std::unique_ptr<PdfDocument> document = PdfDocument::open(sample.bytes);
        WorkCancellation cancel;
        const QList<DrawingGroup> groups = DrawingWorkflow::groups(*document, cancel);
        const RegionsFile::SetLayouts layouts = RegionsFile::layoutsOf(*document, groups);
        QCOMPARE(layouts.pages.size(), document->pageCount());
        QCOMPARE(layouts.groups, QList<PageLayout>({a1, a3}));
    }
};

QTEST_GUILESS_MAIN(TestRegionsFile)
#include "tst_regionsfile.moc"
