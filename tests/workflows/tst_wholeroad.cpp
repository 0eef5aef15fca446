// The whole road of the sample drawing set through the window, as a new
// user takes it: open, the document check, regions dragged on each group,
// reads, a sheet with its own regions, a scanned sheet named by hand, the
// confirmation, and the export, whose folder is then checked file by file.
//
// With PLANFOLIO_SCREENSHOT set to a file path, the main window is also
// saved there once group 1 has been read (tools/screenshot.sh).

#include "AppDriver.h"
#include "DocumentSafety.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

class WholeRoadTest : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void wholeRoad();
};

void WholeRoadTest::wholeRoad()
{
    const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
    QCOMPARE(sheets.size(), 12);
    const QString source = TestPaths::samplePath();
    const QByteArray sourceBytes = AppDriver::fileBytes(source);
    QVERIFY(!sourceBytes.isEmpty());

    AppDriver driver;
    App& app = *driver.app;

    // 1. Open: the final status, and the check alert naming the scan.
    QString statusAtAlert;
    driver.toolkit->onAlert = [&](const ScriptedToolkit::Alert&) { statusAtAlert = app.status->text(); };
    QVERIFY(driver.open(source));
    const QString opened = QStringLiteral("12 pages in 2 geometry groups. Set regions for each group.");
    QCOMPARE(app.status->text(), opened);
    QCOMPARE(driver.toolkit->alerts.size(), 1);
    QCOMPARE(statusAtAlert, opened);
    int scanned = -1;
    for (const auto& sheet : sheets) {
        if (sheet.imageOnly)
            scanned = sheet.page;
    }
    QVERIFY(scanned >= 0);
    QCOMPARE(driver.toolkit->alerts[0].message, QStringLiteral("1 pages need manual names"));
    QVERIFY(driver.toolkit->alerts[0].informative.contains(
        QStringLiteral("No extractable text on source pages: %1.").arg(scanned + 1)));
    QCOMPARE(driver.toolkit->alerts[0].button, QStringLiteral("Continue"));
    QCOMPARE(app.activePage, 0);
    QCOMPARE(app.table->selectionModel()->selectedRows().first().row(), 0);

    // 2. Group 1: number and title dragged on its first page, then read.
    QCOMPARE(app.pdf->currentPage(), 0);
    driver.dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
    QCOMPARE(app.status->text(),
             QStringLiteral("Number: ready \u00B7 Title: ready. Read to update results."));
    QCOMPARE(app.pdf->outlines().size(), 2);
    QTest::mouseClick(app.readButton, Qt::LeftButton);
    QVERIFY(driver.waitIdle());
    QCOMPARE(
        app.status->text(),
        QStringLiteral("Read 8 pages. 1 need an edge/text check. Click any row to inspect its source and "
                       "regions. 1 no-text pages skipped; manual names kept."));
    for (const auto& sheet : sheets) {
        if (sheet.group != 0 || sheet.imageOnly || sheet.titleBlockElsewhere)
            continue;
        const ReviewRow& row = app.rows[sheet.page];
        QCOMPARE(row.value("number").toString(), sheet.number);
        QCOMPARE(row.value("title").toString(), sheet.title);
        QCOMPARE(row.value("state").toString(), ReviewState::readReview);
    }

    const QString screenshot = qEnvironmentVariable("PLANFOLIO_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        // Let the page image arrive before the picture is taken.
        QTRY_VERIFY_WITH_TIMEOUT(app.pdf->hasImage(), 30000);
        QVERIFY(app.window->grab().save(screenshot));
    }

    // 3. Group 2 likewise.
    driver.chooseGroup(1);
    QCOMPARE(app.activeGroup, 1);
    const int group2First = app.groups[1].pages.first();
    QCOMPARE(app.activePage, group2First);
    driver.dragRegions(Fixtures::sampleNumberRegion(1), Fixtures::sampleTitleRegion(1));
    QTest::mouseClick(app.readButton, Qt::LeftButton);
    QVERIFY(driver.waitIdle());
    QVERIFY(app.status->text().startsWith(QStringLiteral("Read 3 pages. 0 need")));
    for (const auto& sheet : sheets) {
        if (sheet.group != 1)
            continue;
        QCOMPARE(app.rows[sheet.page].value("number").toString(), sheet.number);
        QCOMPARE(app.rows[sheet.page].value("title").toString(), sheet.title);
    }

    // 4. The sheet whose title block sits elsewhere gets regions of its own.
    int elsewhere = -1;
    for (const auto& sheet : sheets) {
        if (sheet.titleBlockElsewhere)
            elsewhere = sheet.page;
    }
    QVERIFY(elsewhere >= 0);
    QCOMPARE(app.rows[elsewhere].value("state").toString(), ReviewState::checkEdges);
    driver.clickRow(elsewhere);
    QCOMPARE(app.activePage, elsewhere);
    QCOMPARE(app.status->text(),
             QStringLiteral("Page %1. Group regions. Solid: number; dashed: title.").arg(elsewhere + 1));
    AppDriver::clickSegment(app.scope, 1);
    QCOMPARE(app.readButton->text(), QStringLiteral("Read this page"));
    driver.dragRegions(Fixtures::sampleElsewhereNumberRegion(), Fixtures::sampleElsewhereTitleRegion());
    QVERIFY(app.overrides.contains(elsewhere));
    QVERIFY(app.resetButton->isEnabled());
    QTest::mouseClick(app.readButton, Qt::LeftButton);
    QVERIFY(driver.waitIdle());
    QCOMPARE(
        app.status->text(),
        QStringLiteral("Read 1 pages. 0 need an edge/text check. Click any row to inspect its source and "
                       "regions. 0 no-text pages skipped; manual names kept."));
    QCOMPARE(app.rows[elsewhere].value("number").toString(), sheets[elsewhere].number);
    QCOMPARE(app.rows[elsewhere].value("title").toString(), sheets[elsewhere].title);

    // 5. The scanned sheet is named by hand in the table.
    QVERIFY(driver.enter(scanned, "number", sheets[scanned].number));
    QVERIFY(driver.enter(scanned, "title", sheets[scanned].title));
    QCOMPARE(app.rows[scanned].value("number").toString(), sheets[scanned].number);
    QCOMPARE(app.rows[scanned].value("title").toString(), sheets[scanned].title);
    QCOMPARE(app.rows[scanned].value("state").toString(), ReviewState::edited);

    // 6. Confirmation, then the export into a chosen parent folder.
    QTest::mouseClick(app.reviewed, Qt::LeftButton, Qt::NoModifier, QPoint(8, app.reviewed->height() / 2));
    QVERIFY(app.reviewed->isChecked());
    QTemporaryDir parent;
    QVERIFY(parent.isValid());
    driver.toolkit->folderAnswers.append(parent.path());
    const int alertsBefore = int(driver.toolkit->alerts.size());
    QTest::mouseClick(app.exportButton, Qt::LeftButton);
    QVERIFY(driver.waitIdle());
    QCOMPARE(driver.toolkit->alerts.size(), alertsBefore);
    QCOMPARE(driver.toolkit->folderConfirmTitles, QStringList{QStringLiteral("Choose parent folder")});
    QCOMPARE(app.status->text(), QStringLiteral("Exported 12 pages. Source untouched."));

    const QStringList made = QDir(parent.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(made.size(), 1);
    QVERIFY(made[0].startsWith(QStringLiteral("Planfolio-")));
    const QString folder = QDir(parent.path()).filePath(made[0]);
    QCOMPARE(driver.toolkit->openedFolders, QStringList{folder});

    QStringList expectedFiles{QStringLiteral("register.csv")};
    QString expectedRegister = DocumentSafety::registerHeader();
    for (const auto& sheet : sheets) {
        const QString filename = DocumentSafety::sheetFilename(sheet.number, sheet.title);
        expectedFiles.append(filename);
        expectedRegister += DocumentSafety::registerLine(sheet.page + 1, sheet.number, sheet.title, filename);
        const QByteArray bytes = AppDriver::fileBytes(QDir(folder).filePath(filename));
        const std::unique_ptr<PdfDocument> single = PdfDocument::open(bytes);
        QVERIFY2(single, qPrintable(filename));
        QCOMPARE(single->pageCount(), 1);
    }
    QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    present.sort();
    expectedFiles.sort();
    QCOMPARE(present, expectedFiles);
    QCOMPARE(AppDriver::fileBytes(QDir(folder).filePath(QStringLiteral("register.csv"))),
             expectedRegister.toUtf8());

    // 7. The source file is untouched.
    QCOMPARE(AppDriver::fileBytes(source), sourceBytes);
}

QTEST_MAIN(WholeRoadTest)
#include "tst_wholeroad.moc"
