// The live readout of the page view: while a region is dragged, the text it
// would read on the shown page appears beside it, marked when the edge
// warning would be set; it changes no state and no row, and it goes away
// when the drag ends. It comes from the layers the open kept.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

class LiveReadoutTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;

    // Presses at one corner of `user` and moves to the other, without
    // releasing.
    void dragTo(const QRectF& user)
    {
        QWidget* viewport = app->pdf->viewport();
        const QPoint from = driver->toView(user.topLeft());
        const QPoint to = driver->toView(user.bottomRight());
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(viewport, (from + to) / 2);
        QTest::mouseMove(viewport, to);
    }
    void release(const QRectF& user)
    {
        QTest::mouseRelease(app->pdf->viewport(), Qt::LeftButton, Qt::NoModifier,
                            driver->toView(user.bottomRight()));
    }

private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
    }
    void cleanup() { driver.reset(); }

    void showsWhatTheRegionWouldRead()
    {
        const Fixtures::SampleSheet first = Fixtures::sampleSheets().first();
        const QList<ReviewRow> rows = app->rows;
        const QRectF number = Fixtures::sampleNumberRegion(0);
        dragTo(number);
        QVERIFY(app->pdf->dragRect());
        const std::optional<RegionView::Readout> shown = app->pdf->currentReadout();
        QVERIFY(shown);
        QCOMPARE(shown->text, first.number);
        QVERIFY(!shown->warning);
        // Nothing is assigned while dragging.
        QVERIFY(app->groupRegions.isEmpty());
        QCOMPARE(app->rows, rows);
        release(number);
        QVERIFY(!app->pdf->dragRect());
        QVERIFY(!app->pdf->currentReadout());
        QVERIFY(app->groupRegions.value(0).number.has_value());
    }

    // Asked with exact rectangles (a drag at the fitted zoom moves in steps
    // of several points): a border through the number is marked.
    void marksARegionThatCutsTheText()
    {
        const Fixtures::SampleSheet first = Fixtures::sampleSheets().first();
        const QRectF box = Fixtures::sample().boxOf(0, first.number);
        QVERIFY(!box.isNull());
        const QRectF number = Fixtures::sampleNumberRegion(0);
        QVERIFY(app->pdf->readout);
        const std::optional<RegionView::Readout> whole = app->pdf->readout(number, 0);
        QVERIFY(whole && !whole->warning);
        QCOMPARE(whole->text, first.number);
        // Ends 1 pt short of the middle of the number's last character.
        const double last = Fixtures::textWidth(first.number.right(1), box.height() / 0.925);
        const QRectF cut(number.left(), number.top(), box.right() - last / 2 - 1 - number.left(), number.height());
        const std::optional<RegionView::Readout> shown = app->pdf->readout(cut, 0);
        QVERIFY(shown);
        QVERIFY(shown->warning);
        QVERIFY(shown->text != first.number);
    }

    void noReadoutWhereNoLayerWasKept()
    {
        app->textLayers[0].clear();
        dragTo(Fixtures::sampleNumberRegion(0));
        QVERIFY(app->pdf->dragRect());
        QVERIFY(!app->pdf->currentReadout());
        release(Fixtures::sampleNumberRegion(0));
    }
};

QTEST_MAIN(LiveReadoutTest)
#include "tst_livereadout.moc"
