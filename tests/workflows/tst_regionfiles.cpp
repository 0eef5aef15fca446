// Regions files in the window: regions saved from one issue of a set apply
// to the next issue whose groups come in another order, every region set
// that way takes the drag's path (rows back to "Needs reading", the review
// confirmation unticked), a file that matches only some groups says which,
// and a file that cannot be used or written changes nothing.

#include "AppDriver.h"
#include "Fixtures.h"
#include "RegionsFile.h"
#include "TestPaths.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>

class RegionFilesTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QTemporaryDir dir;
    QList<Fixtures::SampleSheet> sheets;
    int elsewhere = -1;

    void drag(const QRectF& rect, int page) { app->pdf->selected(rect, page); }
    void trigger(const char* title)
    {
        QAction* action = findMenuItem(*app, QString::fromUtf8(title));
        QVERIFY2(action, title);
        action->trigger();
    }
    // The sample with its sheets in reverse order: the A3 sheets' group
    // comes first, and the sheet whose title block sits elsewhere moves.
    QString reversedSample()
    {
        Fixtures::Document doc = Fixtures::sampleDocument();
        std::reverse(doc.pages.begin(), doc.pages.end());
        return AppDriver::writeFile(dir, QStringLiteral("reversed.pdf"), Fixtures::build(doc).bytes);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->toolkit->alerts.clear();
        driver->toolkit->calls.clear();
        sheets = Fixtures::sampleSheets();
        for (const auto& sheet : sheets) {
            if (sheet.titleBlockElsewhere)
                elsewhere = sheet.page;
        }
    }
    void cleanup() { driver.reset(); }

    void menuAndItsRules()
    {
        QAction* save = findMenuItem(*app, QStringLiteral("Save regions\u2026"));
        QAction* apply = findMenuItem(*app, QStringLiteral("Apply regions\u2026"));
        QVERIFY(save && apply && findMenuItem(*app, QStringLiteral("Suggest regions")));
        QCOMPARE(app->window->menuBar()->actions().at(4)->text(), QStringLiteral("Regions"));
        // Nothing to save before a region exists.
        QVERIFY(!save->isEnabled());
        QVERIFY(apply->isEnabled());
        drag(Fixtures::sampleNumberRegion(0), 0);
        QVERIFY(save->isEnabled());
        // Cancelled panels do nothing.
        trigger("Save regions\u2026");
        trigger("Apply regions\u2026");
        QCOMPARE(driver->toolkit->calls, QStringList({"chooseSaveRegions", "chooseOpenRegions"}));
        QCOMPARE(driver->toolkit->suggestedRegionsNames, QStringList({"regions.json"}));
    }

    // The road of a weekly set: regions drawn once, saved, and applied to
    // next week's issue with the pages in another order.
    void savedRegionsApplyToTheNextIssue()
    {
        drag(Fixtures::sampleNumberRegion(0), 0);
        drag(Fixtures::sampleTitleRegion(0), 0);
        driver->chooseGroup(1);
        const int a3 = app->groups[1].pages.first();
        drag(Fixtures::sampleNumberRegion(1), a3);
        drag(Fixtures::sampleTitleRegion(1), a3);
        const QString path = dir.filePath(QStringLiteral("weekly.json"));
        driver->toolkit->saveRegionsAnswers.append(path);
        trigger("Save regions\u2026");
        QCOMPARE(app->status->text(), QStringLiteral("Regions saved to ") + path + QStringLiteral("."));
        const RegionsFile saved = RegionsFile::load(path);
        QCOMPARE(saved.groups.keys(), QList<int>({0, 1}));
        QCOMPARE(saved.groups[1].regions,
                 PageRegions(Fixtures::sampleNumberRegion(1), Fixtures::sampleTitleRegion(1)));
        QCOMPARE(saved.groups[1].layout->mediaBox, QRectF(0, 0, 842, 1191));

        QVERIFY(driver->open(reversedSample()));
        QCOMPARE(app->groups[0].pages.size(), 3); // the A3 sheets now come first
        app->reviewed->setChecked(true);
        driver->toolkit->openRegionsAnswers.append(path);
        trigger("Apply regions\u2026");
        QCOMPARE(app->groupRegions[0], saved.groups[1].regions);
        QCOMPARE(app->groupRegions[1], saved.groups[0].regions);
        QVERIFY(app->overrides.isEmpty());
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(app->rows[0].value("state").toString(), ReviewState::needsReading);
        QCOMPARE(
            app->status->text(),
            QStringLiteral("Regions from weekly.json set for group 1 and group 2. Read to update results."));
        // The view and the controls are where the user left them.
        QCOMPARE(app->activePage, 0);
        QCOMPARE(app->scope->selectedSegment(), 0);

        for (const int group : {0, 1}) {
            driver->chooseGroup(group);
            QTest::mouseClick(app->readButton, Qt::LeftButton);
            QVERIFY(driver->waitIdle());
        }
        const int count = int(sheets.size());
        for (const Fixtures::SampleSheet& sheet : std::as_const(sheets)) {
            if (sheet.imageOnly || sheet.titleBlockElsewhere)
                continue;
            const ReviewRow& row = app->rows[count - 1 - sheet.page];
            QCOMPARE(row.value("number").toString(), sheet.number);
            QCOMPARE(row.value("title").toString(), sheet.title);
        }
    }

    // A page's own regions are saved with its layout and come back on that
    // page; a group with regions of its own that the file does not match
    // keeps them, and the status says so.
    void partialMatchLeavesTheRestAlone()
    {
        drag(Fixtures::sampleNumberRegion(0), 0);
        drag(Fixtures::sampleTitleRegion(0), 0);
        AppDriver::clickSegment(app->scope, 1);
        drag(Fixtures::sampleElsewhereNumberRegion(), elsewhere);
        drag(Fixtures::sampleElsewhereTitleRegion(), elsewhere);
        const QString path = dir.filePath(QStringLiteral("a1.json"));
        driver->toolkit->saveRegionsAnswers.append(path);
        trigger("Save regions\u2026");
        QCOMPARE(RegionsFile::load(path).pages.keys(), QList<int>({elsewhere}));

        // Fresh regions everywhere, then the file: group 1 and the page are
        // set again, group 2 keeps what it had.
        QVERIFY(driver->open(TestPaths::samplePath()));
        const int a3 = app->groups[1].pages.first();
        const QRectF otherNumber(40, 40, 60, 30), otherTitle(40, 100, 200, 30);
        drag(otherNumber, a3);
        drag(otherTitle, a3);
        driver->toolkit->openRegionsAnswers.append(path);
        trigger("Apply regions\u2026");
        QCOMPARE(app->groupRegions[0],
                 PageRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0)));
        QCOMPARE(app->groupRegions[1], PageRegions(otherNumber, otherTitle));
        QCOMPARE(app->overrides.value(elsewhere), PageRegions(Fixtures::sampleElsewhereNumberRegion(),
                                                              Fixtures::sampleElsewhereTitleRegion()));
        QCOMPARE(app->status->text(),
                 QStringLiteral("Regions from a1.json set for group 1 and page %1. Group 2 "
                                "matched nothing in the file and kept its regions. Read to "
                                "update results.")
                     .arg(elsewhere + 1));
        QCOMPARE(app->rows[a3].value("state").toString(), ReviewState::needsReading);
    }

    void fileThatMatchesNothing()
    {
        RegionsFile file;
        file.groups.insert(0, RegionsFile::Entry{PageRegions(QRectF(1, 1, 9, 9), QRectF(1, 20, 9, 9)),
                                                 DocumentSafety::PageLayout{QRectF(0, 0, 612, 792),
                                                                            QRectF(0, 0, 612, 792), 0}});
        driver->toolkit->openRegionsAnswers.append(
            AppDriver::writeFile(dir, QStringLiteral("letter.json"), file.toJson()));
        app->reviewed->setChecked(true);
        trigger("Apply regions\u2026");
        QVERIFY(app->groupRegions.isEmpty());
        QVERIFY(app->reviewed->isChecked());
        QCOMPARE(app->status->text(),
                 QStringLiteral("Nothing in letter.json matches the groups or pages of this "
                                "PDF; no regions changed."));
    }

    void badFilesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("not json") << QByteArray("{\"groups\": {") << "is not valid JSON";
        QTest::newRow("wrong shape") << QByteArray(R"({"groups": {"1": {"number": [1, 2]}}})")
                                     << "groups.1.number must be [x, y, width, height] in points";
    }
    void badFilesChangeNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        drag(Fixtures::sampleNumberRegion(0), 0);
        app->reviewed->setChecked(true);
        const QList<ReviewRow> rows = app->rows;
        const QString path = AppDriver::writeFile(dir, QStringLiteral("bad.json"), text);
        driver->toolkit->openRegionsAnswers.append(path);
        trigger("Apply regions\u2026");
        QCOMPARE(driver->toolkit->alerts.size(), 1);
        QCOMPARE(driver->toolkit->alerts[0].message, QStringLiteral("The regions file could not be used."));
        QVERIFY2(driver->toolkit->alerts[0].informative.startsWith(path + QStringLiteral(": ") + problem),
                 qPrintable(driver->toolkit->alerts[0].informative));
        QCOMPARE(app->groupRegions.keys(), QList<int>({0}));
        QCOMPARE(app->rows, rows);
        QVERIFY(app->reviewed->isChecked());
    }

    void unwritableFileIsReported()
    {
        drag(Fixtures::sampleNumberRegion(0), 0);
        const QString path = dir.filePath(QStringLiteral("missing/regions.json"));
        driver->toolkit->saveRegionsAnswers.append(path);
        const QString before = app->status->text();
        trigger("Save regions\u2026");
        QCOMPARE(driver->toolkit->alerts.size(), 1);
        QCOMPARE(driver->toolkit->alerts[0].message, QStringLiteral("The regions could not be saved."));
        QVERIFY(driver->toolkit->alerts[0].informative.startsWith(path + QStringLiteral(": ")));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(app->status->text(), before);
    }
};

QTEST_MAIN(RegionFilesTest)
#include "tst_regionfiles.moc"
