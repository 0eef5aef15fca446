// Page display and region assignment: where a dragged rectangle goes (the
// group's regions or the shown page's own), the mode advance, which rows go
// stale, the outlines of the shown page, the page notice, the group picker,
// the scope switch and "Use group regions".

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QLabel>

namespace {
const QRectF numberA(100, 100, 200, 50);
const QRectF numberB(400, 100, 200, 50);
const QRectF titleA(100, 300, 400, 60);
const QRectF titleB(100, 500, 400, 60);

QList<PageOutline> outlines(int page, std::optional<QRectF> number, std::optional<QRectF> title)
{
    QList<PageOutline> list;
    if (number)
        list.append({page, *number, false});
    if (title)
        list.append({page, *title, true});
    return list;
}
} // namespace

class PageDisplayTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    int scanned = -1;

    // A drag as the page view reports it, on `page`.
    void drag(const QRectF& rect, int page) { app->pdf->selected(rect, page); }
    // Marks row `page` as read, so that a test sees whether it is cleared.
    void markRead(int page)
    {
        app->rows[page].insert("number", "N");
        app->rows[page].insert("title", "T");
        app->rows[page].insert("state", ReviewState::readReview);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        for (const auto& sheet : Fixtures::sampleSheets()) {
            if (sheet.imageOnly)
                scanned = sheet.page;
        }
        QCOMPARE(app->groups.size(), 2);
        QVERIFY(app->groups[0].pages.contains(scanned));
    }
    void cleanup() { driver.reset(); }

    void firstAndSecondDragInGroupScope()
    {
        const QList<int> group = app->groups[0].pages;
        for (int page : group)
            markRead(page);
        app->rows[scanned].insert("number", "TYPED");
        app->rows[scanned].insert("state", ReviewState::edited);
        app->reviewed->setChecked(true);

        // First drag: the number region.
        drag(numberA, 0);
        QCOMPARE(app->groupRegions.value(0), PageRegions(numberA, std::nullopt));
        QVERIFY(app->overrides.isEmpty());
        QCOMPARE(app->mode->selectedSegment(), 1);
        QCOMPARE(app->status->text(), QString("Number: ready \u00B7 Title: needed. Read to update results."));
        QVERIFY(!app->reviewed->isChecked());
        for (int page : group) {
            if (page == scanned)
                continue;
            QCOMPARE(app->rows[page].value("number").toString(), QString());
            QCOMPARE(app->rows[page].value("title").toString(), QString());
            QCOMPARE(app->rows[page].value("state").toString(), ReviewState::needsReading);
        }
        // The page without text keeps what was typed; the other group's
        // rows are untouched.
        QCOMPARE(app->rows[scanned].value("number").toString(), QString("TYPED"));
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::edited);
        QCOMPARE(app->rows[app->groups[1].pages.first()].value("state").toString(),
                 ReviewState::needsRegions);
        QCOMPARE(app->annotations, outlines(0, numberA, std::nullopt));

        // Second drag: the title region; the mode stays on the title.
        drag(titleA, 0);
        QCOMPARE(app->groupRegions.value(0), PageRegions(numberA, titleA));
        QCOMPARE(app->mode->selectedSegment(), 1);
        QCOMPARE(app->status->text(), QString("Number: ready \u00B7 Title: ready. Read to update results."));
        QCOMPARE(app->annotations, outlines(0, numberA, titleA));
        QCOMPARE(app->pdf->outlines(), app->annotations);

        // A third drag replaces the title again.
        drag(titleB, 0);
        QCOMPARE(app->groupRegions.value(0), PageRegions(numberA, titleB));
    }

    void dragWithRealMouseEvents()
    {
        // The rectangle the view reports lands where it was dragged, within
        // a pixel of the fitted scale.
        const QRectF target = Fixtures::sampleNumberRegion(0);
        driver->drag(target);
        QVERIFY(app->groupRegions.contains(0));
        const QRectF got = *app->groupRegions.value(0).number;
        const double pixel = 1 / app->pdf->scale();
        QVERIFY2(std::abs(got.left() - target.left()) <= pixel &&
                     std::abs(got.top() - target.top()) <= pixel &&
                     std::abs(got.right() - target.right()) <= pixel &&
                     std::abs(got.bottom() - target.bottom()) <= pixel,
                 "dragged rectangle off target");
        QCOMPARE(app->pdf->outlines().size(), 1);
    }

    void pageOnlyDragInheritsGroupTitle()
    {
        drag(numberA, 0);
        drag(titleA, 0);
        const QList<int> group = app->groups[0].pages;
        for (int page : group)
            markRead(page);
        const int page = group[3];
        driver->clickRow(page);
        QCOMPARE(app->activePage, page);
        AppDriver::clickSegment(app->scope, 1);
        QCOMPARE(app->mode->selectedSegment(), 0);
        QCOMPARE(app->status->text(), QString("Select new regions for this page only, then read this page."));

        drag(numberB, page);
        QCOMPARE(app->overrides.value(page), PageRegions(numberB, titleA));
        QCOMPARE(app->groupRegions.value(0), PageRegions(numberA, titleA));
        QCOMPARE(app->status->text(), QString("Number: ready \u00B7 Title: ready. Read to update results."));
        for (int p : group) {
            const QString expected = p == page ? ReviewState::needsReading : ReviewState::readReview;
            QCOMPARE(app->rows[p].value("state").toString(), expected);
        }
        QCOMPARE(app->annotations, outlines(page, numberB, titleA));
        QVERIFY(app->resetButton->isEnabled());

        // A later drag in group scope spares the page with its own regions.
        AppDriver::clickSegment(app->scope, 0);
        QCOMPARE(app->status->text(),
                 QString("New regions apply to this geometry group; page-specific regions are kept."));
        for (int p : group)
            markRead(p);
        drag(numberB, group[0]);
        QCOMPARE(app->groupRegions.value(0), PageRegions(numberB, titleA));
        QCOMPARE(app->overrides.value(page), PageRegions(numberB, titleA));
        QCOMPARE(app->rows[page].value("state").toString(), ReviewState::readReview);
        QCOMPARE(app->rows[page].value("number").toString(), QString("N"));
        QCOMPARE(app->rows[group[1]].value("state").toString(), ReviewState::needsReading);
    }

    void overrideWithOnlyANumberShowsOneOutline()
    {
        // A page-only number drag while the group has nothing yet.
        const int page = app->groups[0].pages[1];
        driver->clickRow(page);
        AppDriver::clickSegment(app->scope, 1);
        drag(numberB, page);
        QCOMPARE(app->overrides.value(page), PageRegions(numberB, std::nullopt));
        QCOMPARE(app->status->text(), QString("Number: ready \u00B7 Title: needed. Read to update results."));

        // The group then gets both regions on another page.
        AppDriver::clickSegment(app->scope, 0);
        drag(numberA, 0);
        drag(titleA, 0);
        QCOMPARE(app->annotations, outlines(0, numberA, titleA));

        app->showPage(page);
        QCOMPARE(app->annotations, outlines(page, numberB, std::nullopt));
        QCOMPARE(app->pdf->outlines(), app->annotations);
        QCOMPARE(app->pairFor(page), PageRegions(numberB, std::nullopt));
    }

    void useGroupRegions()
    {
        drag(numberA, 0);
        drag(titleA, 0);
        const int page =
            app->groups[0].pages[2] == scanned ? app->groups[0].pages[3] : app->groups[0].pages[2];

        // Without an override the row is cleared all the same.
        app->showPage(page);
        markRead(page);
        app->reviewed->setChecked(true);
        QVERIFY(!app->resetButton->isEnabled());
        app->resetPage();
        QCOMPARE(app->status->text(),
                 QString("Page override removed. Read this page using its group regions."));
        QCOMPARE(app->rows[page].value("state").toString(), ReviewState::needsReading);
        QVERIFY(!app->reviewed->isChecked());

        // With one, it goes and the group's regions are outlined again.
        AppDriver::clickSegment(app->scope, 1);
        drag(numberB, page);
        QVERIFY(app->resetButton->isEnabled());
        QTest::mouseClick(app->resetButton, Qt::LeftButton);
        QVERIFY(!app->overrides.contains(page));
        QVERIFY(!app->resetButton->isEnabled());
        QCOMPARE(app->annotations, outlines(page, numberA, titleA));

        // On the page without text the row keeps its state.
        app->showPage(scanned);
        app->resetPage();
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::noText);
    }

    void outlinesPageNoticeAndNoPage()
    {
        drag(numberA, 0);
        drag(titleA, 0);
        QCOMPARE(app->pageNotice->text(), QString("Page 1: inspect both regions. Matching page size does not "
                                                  "guarantee matching title-block position."));
        app->showPage(scanned);
        QCOMPARE(app->pageNotice->text(),
                 QString("Page %1: no extractable text. OCR is not supported; enter the "
                         "number and title manually.")
                     .arg(scanned + 1));
        // Nothing remains on page 1; the shown page has its own two.
        QCOMPARE(app->annotations, outlines(scanned, numberA, titleA));
        QCOMPARE(app->pdf->outlines(), app->annotations);

        // The second group's page has no regions: no outline at all.
        const int other = app->groups[1].pages.first();
        app->showPage(other);
        QVERIFY(app->annotations.isEmpty());
        QVERIFY(app->pdf->outlines().isEmpty());
        QCOMPARE(app->activeGroup, 1);
        QCOMPARE(app->groupPicker->currentIndex(), 1);

        // A page that does not exist changes nothing.
        app->showPage(99);
        QCOMPARE(app->activePage, other);
        // A drag on a page outside the document, or while a task runs, too.
        drag(numberA, 99);
        QVERIFY(!app->groupRegions.contains(1));
        app->token = std::make_shared<WorkCancellation>();
        drag(numberA, other);
        app->changeScope();
        app->resetPage();
        app->token.reset();
        QVERIFY(!app->groupRegions.contains(1));
    }

    void changingGroup()
    {
        AppDriver::clickSegment(app->scope, 1);
        app->mode->setSelectedSegment(1);
        driver->chooseGroup(1);
        const int first = app->groups[1].pages.first();
        QCOMPARE(app->scope->selectedSegment(), 0);
        QCOMPARE(app->mode->selectedSegment(), 0);
        QCOMPARE(app->activeGroup, 1);
        QCOMPARE(app->activePage, first);
        QCOMPARE(app->pdf->currentPage(), first);
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), first);
        QCOMPARE(app->status->text(),
                 QString("Select both regions for this group. Solid outline: number; dashed: title."));
        QCOMPARE(app->readButton->text(), QString("Read group"));
    }
};

QTEST_MAIN(PageDisplayTest)
#include "tst_pagedisplay.moc"
