// "Suggest regions" in the window: a suggestion is only shown until the
// user chooses; "Use suggestion" sets both regions through the drag's path
// (rows back to "Needs reading", the review confirmation unticked) and the
// regions read the true names; "Dismiss", another group or another
// document drops it and changes nothing; where nothing fits, the status
// line says so.

#include "AppDriver.h"
#include "Fixtures.h"
#include "SuggestionBar.h"
#include "SuggestionOutlines.h"
#include "TestPaths.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

class SuggestFlowTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QTemporaryDir dir;

    bool suggest()
    {
        QAction* action = findMenuItem(*app, QStringLiteral("Suggest regions"));
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return driver->waitIdle();
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->toolkit->alerts.clear();
    }
    void cleanup() { driver.reset(); }

    void useSetsBothRegionsAsDragsDo()
    {
        app->reviewed->setChecked(true);
        const int modeBefore = app->mode->selectedSegment();
        QVERIFY(suggest());
        // Shown, not set.
        QVERIFY(app->suggestion.has_value());
        QVERIFY(app->suggestionOutlines->showing());
        QVERIFY(app->suggestionBar->isVisible());
        QVERIFY(app->suggestionBar->text().startsWith(QStringLiteral("Suggested regions for this group: number \u201C")));
        QVERIFY(app->groupRegions.isEmpty());
        QVERIFY(app->reviewed->isChecked());

        QTest::mouseClick(app->suggestionBar->useButton(), Qt::LeftButton);
        QVERIFY(!app->suggestion);
        QVERIFY(!app->suggestionOutlines->showing());
        QVERIFY(!app->suggestionBar->isVisible());
        QVERIFY(app->groupRegions.contains(0));
        QVERIFY(app->groupRegions[0].number && app->groupRegions[0].title);
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(app->mode->selectedSegment(), modeBefore);
        const int first = app->groups[0].pages.first();
        QCOMPARE(app->rows[first].value("state").toString(), ReviewState::needsReading);

        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            if (sheet.imageOnly || sheet.titleBlockElsewhere || !app->groups[0].pages.contains(sheet.page))
                continue;
            QCOMPARE(app->rows[sheet.page].value("number").toString(), sheet.number);
            QCOMPARE(app->rows[sheet.page].value("title").toString(), sheet.title);
        }
    }

    // A page whose title block sits elsewhere gets a suggestion of its own
    // in "This page only" scope, set as that page's own regions.
    void pageOnlyScope()
    {
        int elsewhere = -1;
        for (const Fixtures::SampleSheet& sheet : Fixtures::sampleSheets()) {
            if (sheet.titleBlockElsewhere)
                elsewhere = sheet.page;
        }
        QVERIFY(elsewhere >= 0);
        driver->clickRow(elsewhere);
        QCOMPARE(app->activePage, elsewhere);
        AppDriver::clickSegment(app->scope, 1);
        QVERIFY(suggest());
        QVERIFY(app->suggestionBar->text().startsWith(QStringLiteral("Suggested regions for page ") +
                                                      QString::number(elsewhere + 1)));
        QTest::mouseClick(app->suggestionBar->useButton(), Qt::LeftButton);
        QVERIFY(app->overrides.contains(elsewhere));
        QVERIFY(app->groupRegions.isEmpty());
        QCOMPARE(app->scope->selectedSegment(), 1);
    }

    void droppedWithoutChange()
    {
        // Dismiss.
        QVERIFY(suggest());
        QTest::mouseClick(app->suggestionBar->dismissButton(), Qt::LeftButton);
        QVERIFY(!app->suggestion);
        QVERIFY(!app->suggestionOutlines->showing());
        QVERIFY(app->groupRegions.isEmpty());

        // Showing another group.
        QVERIFY(suggest());
        driver->chooseGroup(1);
        QVERIFY(!app->suggestion);
        QVERIFY(!app->suggestionBar->isVisible());
        QVERIFY(app->groupRegions.isEmpty());

        // Opening another document.
        QVERIFY(suggest());
        QVERIFY(driver->open(TestPaths::samplePath()));
        QVERIFY(!app->suggestion);
        QVERIFY(!app->suggestionOutlines->showing());
        QVERIFY(app->groupRegions.isEmpty());
    }

    // A wider sheet alone in its group, with no captions to tell its number
    // and title by themselves, takes the first group's block moved to where
    // its own stands.
    void oneSheetGroupBorrowsAnotherGroupsBlock()
    {
        auto setOf = [](QList<Fixtures::SheetName> sheets, QSizeF size) {
            Fixtures::TitleBlockSet set;
            set.layout = Fixtures::TitleBlockSet::RuledStrip;
            set.sheets = std::move(sheets);
            if (!size.isEmpty())
                set.sheet = size;
            return set;
        };
        const Fixtures::TitleBlockSet strip = setOf(Fixtures::officeSheets(5), {});
        const Fixtures::TitleBlockSet wide = setOf(Fixtures::officeSheets(6).mid(5), QSizeF(2600, 1684));
        Fixtures::Document doc;
        doc.pages = Fixtures::titleBlockPages(strip) + Fixtures::titleBlockPages(wide);
        QVERIFY(driver->open(AppDriver::writeFile(dir, QStringLiteral("wide.pdf"), Fixtures::build(doc).bytes)));
        QCOMPARE(app->groups.size(), 2);
        driver->chooseGroup(1);
        QVERIFY(suggest());
        QVERIFY(app->suggestion.has_value());
        QCOMPARE(app->suggestion->found.exampleNumber, wide.sheets.first().number);
        QCOMPARE(app->suggestion->found.exampleTitle, wide.sheets.first().title());
        QTest::mouseClick(app->suggestionBar->useButton(), Qt::LeftButton);
        QVERIFY(app->groupRegions.contains(1));
        QVERIFY(!app->groupRegions.contains(0));
    }

    // Pages whose text is the same everywhere have no sheet number to find.
    void nothingFoundIsSaid()
    {
        Fixtures::Document same;
        for (int i = 0; i < 3; ++i) {
            Fixtures::Page page;
            page.texts = {{QStringLiteral("SHEET NO."), 400, 60, 6},
                          {QStringLiteral("A-101"), 400, 30, 20},
                          {QStringLiteral("GROUND FLOOR PLAN"), 400, 100, 14}};
            same.pages.append(page);
        }
        QVERIFY(driver->open(AppDriver::writeFile(dir, QStringLiteral("same.pdf"), Fixtures::build(same).bytes)));
        QVERIFY(suggest());
        QVERIFY(!app->suggestion);
        QVERIFY(!app->suggestionBar->isVisible());
        QCOMPARE(app->status->text(),
                 QStringLiteral("No sheet number and title found to suggest for this group. Drag its regions by hand."));
        QVERIFY(app->groupRegions.isEmpty());
        QVERIFY(driver->toolkit->alerts.isEmpty());
    }
};

QTEST_MAIN(SuggestFlowTest)
#include "tst_suggestflow.moc"
