// Zooming the page view so that a region can be placed on a large sheet:
// the zoom buttons beside the page and the View menu with their keys, which
// follow the control rules; "Zoom to regions", which frames the regions of
// the shown page or else the lower-right quarter where title blocks sit;
// and outlines that stay visible however small the page is shown.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "TestPaths.h"

#include <QMenuBar>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

namespace {
const QStringList zoomTitles = {"Zoom in", "Zoom out", "Fit page", "Zoom to regions"};

// `inner` (viewport coordinates) lies inside the viewport, give or take a
// pixel of rounding.
bool inView(const QWidget* viewport, const QRectF& inner)
{
    return QRectF(viewport->rect()).adjusted(-1, -1, 1, 1).contains(inner);
}

// `inner` fills most of the viewport across or down.
bool fillsView(const QWidget* viewport, const QRectF& inner)
{
    return inner.width() >= viewport->width() * 0.8 || inner.height() >= viewport->height() * 0.8;
}
} // namespace

class PageZoomTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;

    QToolButton* button(const QString& title) const
    {
        for (QToolButton* candidate : app->window->findChildren<QToolButton*>()) {
            if (candidate->text() == title)
                return candidate;
        }
        return nullptr;
    }
    QMenu* viewMenu() const { return findMenu(*app, QStringLiteral("View")); }
    QStringList enabledZoom() const
    {
        QStringList names;
        for (const QString& title : zoomTitles) {
            if (button(title) && button(title)->isEnabled())
                names << title;
        }
        return names;
    }
    // The shown page's displayed lower-right quarter, in viewport coordinates.
    QRectF lowerRightQuarter() const
    {
        const std::optional<PdfPage> page = app->document->page(app->activePage);
        const QSizeF size = page->displaySize();
        const QRectF quarter(QPointF(size.width() / 2, size.height() / 2), size / 2);
        const QRectF user = page->displayTransform().inverted().mapRect(quarter);
        return app->pdf->pageTransform().mapRect(user);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
    }
    void cleanup() { driver.reset(); }

    void buttonsAndMenuFollowTheControlRules()
    {
        // Beside the page view, with their keys in the View menu.
        for (const QString& title : zoomTitles) {
            QVERIFY2(button(title), qPrintable(title));
            QVERIFY(button(title)->isVisible());
        }
        QVERIFY(viewMenu());
        const QList<QAction*> items = viewMenu()->actions();
        QCOMPARE(items.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(items[i]->text(), zoomTitles[i]);
        QCOMPARE(items[0]->shortcut(), QKeySequence(QKeySequence::ZoomIn));
        QCOMPARE(items[1]->shortcut(), QKeySequence(QKeySequence::ZoomOut));
        QCOMPARE(items[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
        QVERIFY(button("Zoom in")->toolTip().contains(
            QKeySequence(QKeySequence::ZoomIn).toString(QKeySequence::NativeText)));

        // No document: nothing to zoom.
        QCOMPARE(enabledZoom(), QStringList());
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(enabledZoom(), zoomTitles);
        // A task running: off, and on again after it.
        const auto token = app->begin("Testing\u2026");
        QCOMPARE(enabledZoom(), QStringList());
        for (QAction* item : items)
            QVERIFY(!item->isEnabled());
        app->finish("done");
        QCOMPARE(enabledZoom(), zoomTitles);
    }

    void keysZoomInOutAndFit()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        QCOMPARE(app->pdf->zoom(), 1.0);
        QTest::keySequence(app->window.get(), QKeySequence(QKeySequence::ZoomIn));
        QCOMPARE(app->pdf->zoom(), std::sqrt(2.0));
        // Ctrl+= as well: "+" needs Shift on most keyboards.
        QTest::keyClick(app->window.get(), Qt::Key_Equal, Qt::ControlModifier);
        QVERIFY(std::abs(app->pdf->zoom() - 2.0) < 1e-9);
        QTest::keySequence(app->window.get(), QKeySequence(QKeySequence::ZoomOut));
        QVERIFY(std::abs(app->pdf->zoom() - std::sqrt(2.0)) < 1e-9);
        QTest::keyClick(app->window.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(app->pdf->zoom(), 1.0);
        // Never below the fitted page.
        QTest::mouseClick(button("Zoom out"), Qt::LeftButton);
        QCOMPARE(app->pdf->zoom(), 1.0);
        QTest::mouseClick(button("Zoom in"), Qt::LeftButton);
        QVERIFY(app->pdf->zoom() > 1.0);
        QTest::mouseClick(button("Fit page"), Qt::LeftButton);
        QCOMPARE(app->pdf->zoom(), 1.0);
    }

    void zoomToRegionsFramesTheShownPagesRegions()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        QWidget* viewport = app->pdf->viewport();
        const double fitted = app->pdf->scale();

        // No regions yet: the lower-right quarter of the sheet.
        QTest::mouseClick(button("Zoom to regions"), Qt::LeftButton);
        QVERIFY(app->pdf->zoom() > 1.0);
        QTRY_VERIFY(inView(viewport, lowerRightQuarter()));
        QVERIFY(fillsView(viewport, lowerRightQuarter()));

        // With the group's regions: both of them, filling the view.
        QTest::mouseClick(button("Fit page"), Qt::LeftButton);
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        QTest::mouseClick(button("Zoom to regions"), Qt::LeftButton);
        const QRectF regions = Fixtures::sampleNumberRegion(0).united(Fixtures::sampleTitleRegion(0));
        QTRY_VERIFY(inView(viewport, app->pdf->pageTransform().mapRect(regions)));
        const QRectF shown = app->pdf->pageTransform().mapRect(regions);
        QVERIFY(fillsView(viewport, shown));
        QVERIFY(app->pdf->scale() > 3 * fitted);

        // A page with its own regions frames those.
        const int elsewhere = 9;
        QVERIFY(Fixtures::sampleSheets()[elsewhere].titleBlockElsewhere);
        driver->clickRow(elsewhere);
        AppDriver::clickSegment(app->scope, 1);
        driver->dragRegions(Fixtures::sampleElsewhereNumberRegion(), Fixtures::sampleElsewhereTitleRegion());
        QTest::mouseClick(button("Zoom to regions"), Qt::LeftButton);
        const QRectF ownRegions =
            Fixtures::sampleElsewhereNumberRegion().united(Fixtures::sampleElsewhereTitleRegion());
        QTRY_VERIFY(inView(viewport, app->pdf->pageTransform().mapRect(ownRegions)));
        const QRectF own = app->pdf->pageTransform().mapRect(ownRegions);
        QVERIFY(fillsView(viewport, own));

        // A drag on the zoomed page still gives the rectangle under it.
        AppDriver::clickSegment(app->scope, 0);
        driver->clickRow(0);
        QTest::mouseClick(button("Zoom to regions"), Qt::LeftButton);
        // Pressed clear of both outlines, so it draws rather than adjusts.
        const QRectF number = Fixtures::sampleNumberRegion(0).adjusted(-8, -8, -2, -2);
        QVERIFY(!app->pdf->grabAt(driver->toView(number.topLeft())));
        driver->drag(number);
        const QRectF got = *app->groupRegions.value(0).number;
        const double pixel = 1 / app->pdf->scale();
        QVERIFY(std::abs(got.left() - number.left()) <= pixel &&
                std::abs(got.right() - number.right()) <= pixel);
        QVERIFY(std::abs(got.top() - number.top()) <= pixel &&
                std::abs(got.bottom() - number.bottom()) <= pixel);
    }

    // Pages of `group` that have text and the group's own title block.
    static QList<int> plainPages(int group)
    {
        QList<int> pages;
        for (const auto& sheet : Fixtures::sampleSheets()) {
            if (sheet.group == group && !sheet.imageOnly && !sheet.titleBlockElsewhere)
                pages.append(sheet.page);
        }
        return pages;
    }

    void wheel(const QPointF& at, int notches)
    {
        QWidget* viewport = app->pdf->viewport();
        QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    }

    void zoomStaysWithTheGroup()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        const QList<int> group0 = plainPages(0);
        const QList<int> group1 = plainPages(1);
        QVERIFY(group0.size() >= 2 && !group1.isEmpty());
        driver->clickRow(group0[0]);

        // Ctrl+wheel over the title block keeps it under the pointer.
        const QPointF title = Fixtures::sampleTitleRegion(0).center();
        const QPointF pointer = app->pdf->pageTransform().map(title);
        wheel(pointer, 8);
        QVERIFY(app->pdf->zoom() > 3);
        QVERIFY2(QLineF(app->pdf->pageTransform().map(title), pointer).length() < 2,
                 qPrintable(QString("%1,%2 vs %3,%4 view %5x%6")
                                .arg(app->pdf->pageTransform().map(title).x())
                                .arg(app->pdf->pageTransform().map(title).y())
                                .arg(pointer.x())
                                .arg(pointer.y())
                                .arg(app->pdf->viewport()->width())
                                .arg(app->pdf->viewport()->height())));
        const double zoomed = app->pdf->zoom();

        // Another row of the same group: same zoom, title block where it was.
        driver->clickRow(group0[1]);
        QCOMPARE(app->activePage, group0[1]);
        QCOMPARE(app->pdf->zoom(), zoomed);
        QVERIFY2(QLineF(app->pdf->pageTransform().map(title), pointer).length() < 2,
                 qPrintable(QString("%1,%2 vs %3,%4")
                                .arg(app->pdf->pageTransform().map(title).x())
                                .arg(app->pdf->pageTransform().map(title).y())
                                .arg(pointer.x())
                                .arg(pointer.y())));

        // Another group starts fitted and keeps a place of its own.
        driver->clickRow(group1[0]);
        QCOMPARE(app->pdf->zoom(), 1.0);
        QTest::mouseClick(button("Zoom in"), Qt::LeftButton);
        const double other = app->pdf->zoom();
        QVERIFY(other != zoomed);
        driver->clickRow(group0[0]);
        QCOMPARE(app->pdf->zoom(), zoomed);
        driver->clickRow(group1.last());
        QCOMPARE(app->pdf->zoom(), other);

        // A fresh open forgets the places.
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->clickRow(group0[1]);
        QCOMPARE(app->pdf->zoom(), 1.0);
    }

    void aGroupWithBothRegionsOpensFramedOnThem()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        const QList<int> group0 = plainPages(0);
        driver->clickRow(group0[0]);
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        // The page the regions were drawn on stays as the user had it.
        QCOMPARE(app->pdf->zoom(), 1.0);
        driver->clickRow(group0[1]);
        QVERIFY(app->pdf->zoom() > 2);
        const QRectF regions = Fixtures::sampleNumberRegion(0).united(Fixtures::sampleTitleRegion(0));
        QVERIFY(inView(app->pdf->viewport(), app->pdf->pageTransform().mapRect(regions)));
        // Until the user zooms otherwise: that place is then kept.
        QTest::mouseClick(button("Fit page"), Qt::LeftButton);
        driver->clickRow(group0[0]);
        QCOMPARE(app->pdf->zoom(), 1.0);
    }

    void lowerRightQuarterAsTheSheetIsShown()
    {
        // Stored sideways: the quarter is taken on the page as it is shown.
        for (int rotate : {90, 180, 270}) {
            Fixtures::Document set;
            Fixtures::Page page;
            page.mediaBox = QRectF(0, 0, 1684, 1191);
            page.rotate = rotate;
            page.texts = {{"A-101", 1400, 60, 36}};
            set.pages.append(page);
            QTemporaryDir dir;
            QVERIFY(driver->open(AppDriver::writeFile(dir, "rotated.pdf", Fixtures::build(set).bytes)));
            QTest::mouseClick(button("Zoom to regions"), Qt::LeftButton);
            QWidget* viewport = app->pdf->viewport();
            // Scroll bars come and go through queued layout; let them land.
            QTRY_VERIFY2(inView(viewport, lowerRightQuarter()), qPrintable(QString::number(rotate)));
            QVERIFY(fillsView(viewport, lowerRightQuarter()));
        }
    }

    void outlinesStayVisibleOnAFittedLargeSheet()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        // About a quarter of a pixel a point: a 1.5-point line would be a
        // faint grey smear.
        QVERIFY(app->pdf->scale() < 0.4);
        const QImage image = app->pdf->viewport()->grab().toImage();
        const QTransform toView = app->pdf->pageTransform();
        for (const QRectF& region : {Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0)}) {
            // Across the left edge, half-way down (over more than one dash
            // period of the title's outline): at least one pixel dark.
            const QPointF edge = toView.map(QPointF(region.left(), region.center().y()));
            int darkest = 255;
            for (int y = int(edge.y()) - 4; y <= int(edge.y()) + 4; ++y) {
                for (int x = int(edge.x()) - 2; x <= int(edge.x()) + 3; ++x)
                    darkest = std::min(darkest, qGray(image.pixel(x, y)));
            }
            QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
        }
    }
};

QTEST_MAIN(PageZoomTest)
#include "tst_pagezoom.moc"
