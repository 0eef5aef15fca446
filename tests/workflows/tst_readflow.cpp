// The read flow: which pages are read (group or page scope, pages without
// text skipped and counted), the refusals before a read starts, failures
// and cancellation that leave every row as it was, and results written
// into the rows.

#include "AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>

class ReadFlowTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QList<Fixtures::SampleSheet> sheets;
    int scanned = -1;
    int elsewhere = -1;

    void drag(const QRectF& rect, int page) { app->pdf->selected(rect, page); }
    void groupRegions(int group)
    {
        const int page = app->groups[group].pages.first();
        drag(Fixtures::sampleNumberRegion(group), page);
        drag(Fixtures::sampleTitleRegion(group), page);
    }
    void read() { QTest::mouseClick(app->readButton, Qt::LeftButton); }
    // Pages of `group` with text and the group's own title block.
    QList<int> plainPages(int group) const
    {
        QList<int> pages;
        for (const auto& sheet : sheets) {
            if (sheet.group == group && !sheet.imageOnly && !sheet.titleBlockElsewhere)
                pages.append(sheet.page);
        }
        return pages;
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->toolkit->alerts.clear();
        sheets = Fixtures::sampleSheets();
        for (const auto& sheet : sheets) {
            if (sheet.imageOnly)
                scanned = sheet.page;
            if (sheet.titleBlockElsewhere)
                elsewhere = sheet.page;
        }
    }
    void cleanup() { driver.reset(); }

    void groupScopeSkipsPagesWithoutText()
    {
        QVERIFY(driver->enter(scanned, "number", "C-001"));
        groupRegions(0);
        app->reviewed->setChecked(true);
        read();
        QCOMPARE(app->status->text(), QString("Reading selected pages\u2026"));
        QVERIFY(!app->reviewed->isChecked());
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(),
                 QString("Read 8 pages. 1 need an edge/text check. Click any row to inspect its source and "
                         "regions. 1 no-text pages skipped; manual names kept."));
        QCOMPARE(app->rows[scanned].value("number").toString(), QString("C-001"));
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::edited);
        // The sheet whose title block is elsewhere reads nothing: a warning.
        QCOMPARE(app->rows[elsewhere].value("number").toString(), QString());
        QCOMPARE(app->rows[elsewhere].value("state").toString(), ReviewState::checkEdges);
        QCOMPARE(app->rows[3].value("number").toString(), sheets[3].number);
        QCOMPARE(app->rows[3].value("state").toString(), ReviewState::readReview);
        // The other group was not read.
        QCOMPARE(app->rows[sheets.last().page].value("state").toString(), ReviewState::needsRegions);
        QVERIFY(!app->reviewed->isChecked());
    }

    // Regions that read nothing but show drawn glyphs: said once, after the
    // summary, and by the review panel for such a page; an empty cell is
    // not drawn text.
    void drawnTextIsNamed()
    {
        Fixtures::Document doc;
        doc.pages = QList<Fixtures::Page>(3);
        for (Fixtures::Page& page : doc.pages)
            page.texts = {{QStringLiteral("PROJECT 2417"), 40, 40, 10}};
        doc.pages[0].drawnTexts = {{QStringLiteral("A-101"), 410, 45, 12},
                                   {QStringLiteral("PLAN"), 410, 85, 12}};
        doc.pages[1].drawnTexts = {{QStringLiteral("A-102"), 410, 45, 12},
                                   {QStringLiteral("ROOF"), 410, 85, 12, 0, true}};
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("drawn.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Fixtures::build(doc).bytes);
        file.close();
        QVERIFY(driver->open(file.fileName()));
        drag(QRectF(400, 40, 80, 20), 0);
        drag(QRectF(400, 80, 200, 20), 0);
        read();
        QVERIFY(driver->waitIdle());
        QCOMPARE(
            app->status->text(),
            QString("Read 3 pages. 3 need an edge/text check. Click any row to inspect its source and "
                    "regions. 0 no-text pages skipped; manual names kept. 2 pages show drawn text in their "
                    "regions but the PDF carries no text there; enter their names in the table."));
        QCOMPARE(app->outlinedPages, QSet<int>({0, 1}));
    }

    void readAllGroupsInOneTask()
    {
        QAction* readAll = findMenuItem(*app, QStringLiteral("Read all groups"));
        QVERIFY(readAll);
        QCOMPARE(readAll->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
        QVERIFY(readAll->isEnabled());

        // Nothing has both regions yet: the read's own refusal.
        readAll->trigger();
        QCOMPARE(driver->toolkit->alerts.last().message,
                 QString("Select both number and title regions for this group or page first."));
        QVERIFY(!app->busy());

        // Both groups, and the sheet whose title block is elsewhere with its
        // own regions, in one task: every page with text.
        groupRegions(0);
        // The next group's drags start with the number again.
        app->mode->setSelectedSegment(0);
        groupRegions(1);
        AppDriver::clickSegment(app->scope, 1);
        drag(Fixtures::sampleElsewhereNumberRegion(), elsewhere);
        drag(Fixtures::sampleElsewhereTitleRegion(), elsewhere);
        QVERIFY(driver->enter(scanned, "number", "C-001"));
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        QTest::keyClick(app->window.get(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(driver->waitIdle());
        QVERIFY(app->status->text().startsWith(QString("Read 11 pages. ")));
        QVERIFY(app->status->text().endsWith(QString(" 1 no-text pages skipped; manual names kept.")));
        for (const auto& sheet : sheets) {
            const ReviewRow& row = app->rows[sheet.page];
            if (sheet.imageOnly) {
                QCOMPARE(row.value("number").toString(), QString("C-001"));
                continue;
            }
            QCOMPARE(row.value("number").toString(), sheet.number);
            QCOMPARE(row.value("title").toString(), sheet.title);
            QVERIFY(row.value("state").toString() != ReviewState::needsReading);
        }
    }

    void adjustingAnOutlineIsANewAssignment()
    {
        groupRegions(0);
        read();
        QVERIFY(driver->waitIdle());
        app->reviewed->setChecked(true);
        const QRectF number = Fixtures::sampleNumberRegion(0);
        const QRectF title = Fixtures::sampleTitleRegion(0);
        const double pixel = 1 / app->pdf->scale();
        auto near = [pixel](double a, double b) { return std::abs(a - b) <= 1.5 * pixel; };

        // The number's right edge dragged outwards: only that edge moves.
        const QPointF edge(number.right(), number.center().y());
        driver->moveOutline(edge, edge + QPointF(20, 0));
        const QRectF wider = *app->groupRegions.value(0).number;
        QVERIFY(near(wider.right(), number.right() + 20));
        QVERIFY(near(wider.left(), number.left()) && near(wider.top(), number.top()) &&
                near(wider.bottom(), number.bottom()));
        // As after a new drag: the group's rows need reading, the
        // confirmation is cleared, and the title stays.
        for (int page : plainPages(0))
            QCOMPARE(app->rows[page].value("state").toString(), ReviewState::needsReading);
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(*app->groupRegions.value(0).title, title);

        // Inside the title: a move that keeps its size.
        driver->moveOutline(title.center(), title.center() + QPointF(-30, 12));
        const QRectF moved = *app->groupRegions.value(0).title;
        QVERIFY(near(moved.left(), title.left() - 30) && near(moved.top(), title.top() + 12));
        QVERIFY(near(moved.width(), title.width()) && near(moved.height(), title.height()));

        // The read over the adjusted regions gives the names again.
        read();
        QVERIFY(driver->waitIdle());
        for (int page : plainPages(0))
            QCOMPARE(app->rows[page].value("number").toString(), sheets[page].number);
    }

    void readAllLeavesPagesWithoutRegions()
    {
        groupRegions(1);
        app->readAllGroups();
        QVERIFY(driver->waitIdle());
        for (const auto& sheet : sheets) {
            if (sheet.imageOnly)
                continue;
            const QString state = app->rows[sheet.page].value("state").toString();
            if (sheet.group == 1)
                QVERIFY(state == ReviewState::readReview || state == ReviewState::checkEdges);
            else
                QCOMPARE(state, ReviewState::needsRegions);
        }
    }

    void readOverwritesTypedNames()
    {
        groupRegions(0);
        QVERIFY(driver->enter(3, "title", "TYPED"));
        // A half-typed cell is committed first, then read over.
        QVERIFY(driver->typeInto(4, "title", "HALF"));
        read();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows[3].value("title").toString(), sheets[3].title);
        QCOMPARE(app->rows[4].value("title").toString(), sheets[4].title);
    }

    void pageScopeWithAndWithoutOverride()
    {
        groupRegions(0);
        // Without an override: the group's regions.
        driver->clickRow(3);
        AppDriver::clickSegment(app->scope, 1);
        read();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(),
                 QString("Read 1 pages. 0 need an edge/text check. Click any row to inspect its source and "
                         "regions. 0 no-text pages skipped; manual names kept."));
        QCOMPARE(app->rows[3].value("number").toString(), sheets[3].number);
        QCOMPARE(app->rows[4].value("state").toString(), ReviewState::needsReading);

        // With one: its own.
        driver->clickRow(elsewhere);
        drag(Fixtures::sampleElsewhereNumberRegion(), elsewhere);
        drag(Fixtures::sampleElsewhereTitleRegion(), elsewhere);
        read();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows[elsewhere].value("number").toString(), sheets[elsewhere].number);
        QCOMPARE(app->rows[elsewhere].value("title").toString(), sheets[elsewhere].title);
        QCOMPARE(app->rows[elsewhere].value("state").toString(), ReviewState::readReview);
    }

    void refusalsBeforeTheRead()
    {
        // Nothing chosen yet.
        read();
        QCOMPARE(driver->toolkit->alerts.size(), 1);
        QCOMPARE(driver->toolkit->alerts.last().message,
                 QString("Select both number and title regions for this group or page first."));

        // An override lacking its title, in a group that has both.
        const int page = app->groups[0].pages[1];
        driver->clickRow(page);
        AppDriver::clickSegment(app->scope, 1);
        drag(Fixtures::sampleNumberRegion(0), page);
        AppDriver::clickSegment(app->scope, 0);
        groupRegions(0);
        QCOMPARE(app->pairFor(page), PageRegions(Fixtures::sampleNumberRegion(0), std::nullopt));
        const QList<ReviewRow> before = app->rows;
        read();
        QCOMPARE(driver->toolkit->alerts.size(), 2);
        QCOMPARE(driver->toolkit->alerts.last().message,
                 QString("Select both number and title regions for this group or page first."));
        QVERIFY(!app->busy());
        QCOMPARE(app->rows, before);

        // The page without text alone.
        driver->clickRow(scanned);
        AppDriver::clickSegment(app->scope, 1);
        read();
        QCOMPARE(
            driver->toolkit->alerts.last().message,
            QString("These pages have no extractable text. OCR is not supported. Enter their numbers and "
                    "titles directly in the table."));
        QVERIFY(!app->busy());
    }

    void readFailureChangesNoRow()
    {
        // Overlapping regions: the read itself refuses them.
        drag(QRectF(100, 100, 200, 100), 0);
        drag(QRectF(150, 150, 200, 100), 0);
        const QList<ReviewRow> before = app->rows;
        app->reviewed->setChecked(true);
        read();
        QVERIFY(driver->waitIdle());
        QVERIFY(app->status->text().startsWith("Read failed: "));
        QVERIFY(app->status->text().size() > QString("Read failed: ").size());
        QCOMPARE(app->rows, before);
        QVERIFY(!app->reviewed->isChecked());
    }

    void cancelledReadChangesNoRow()
    {
        groupRegions(0);
        const QList<ReviewRow> before = app->rows;
        WorkerGate gate(*app, "Reading", 4);
        read();
        QVERIFY(gate.reached());
        QTest::mouseClick(app->cancelButton, Qt::LeftButton);
        QCOMPARE(app->status->text(),
                 QString("Cancelling after the current PDF operation; incomplete output will be removed."));
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Read cancelled. Previous results retained."));
        QCOMPARE(app->rows, before);
    }

    void cancelAfterTheLastPageDropsResults()
    {
        groupRegions(0);
        const QList<ReviewRow> before = app->rows;
        WorkerGate gate(*app, "Reading", 8);
        read();
        QVERIFY(gate.reached());
        app->cancelWork();
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Read cancelled. Previous results retained."));
        QCOMPARE(app->rows, before);
    }
};

QTEST_MAIN(ReadFlowTest)
#include "tst_readflow.moc"
