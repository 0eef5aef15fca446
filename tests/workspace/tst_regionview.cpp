// The page view in the main window: a drag on the shown page gives back the
// user-space rectangle under it, whatever the window size, zoom, stored
// rotation or crop box; the drag rules (size, page, switch); zoom and pan;
// the outlines; and page images that are always made off the main thread.

#include "App.h"
#include "Fixtures.h"
#include "MainWindow.h"
#include "PdfDocument.h"
#include "LaunchedApp.h"
#include "ScriptedToolkit.h"

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QtTest>

namespace {

// The test pages: boxes and stored rotation.
struct Sheet
{
    QRectF media;
    std::optional<QRectF> crop;
    std::optional<int> rotate;
};
const QList<Sheet> sheets = {
    {QRectF(0, 0, 612, 792), {}, {}},                                // 0: portrait, rotation 0
    {QRectF(0, 0, 842, 595), {}, 90},                                // 1: landscape stored, shown portrait
    {QRectF(0, 0, 612, 792), {}, 270},                               // 2
    {QRectF(0, 0, 1000, 800), QRectF(150, 100, 600, 500), {}},       // 3: offset crop box
    {QRectF(-200, -100, 1100, 800), QRectF(-100, 0, 500, 400), 90},  // 4: negative origin, offset crop, 90
    {QRectF(0, 0, 612, 792), {}, 180},                               // 5
};

QRectF cropOf(const Sheet& sheet)
{
    return sheet.crop.value_or(sheet.media);
}

// A region where title blocks sit: lower right of the crop box.
QRectF titleBlockOf(const QRectF& crop)
{
    return QRectF(crop.x() + crop.width() * 0.55, crop.y() + crop.height() * 0.08, crop.width() * 0.3,
                  crop.height() * 0.12);
}

void sendMouse(QWidget* viewport, QEvent::Type type, const QPointF& at)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

} // namespace

class RegionViewTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<App> app;
    RegionView* view = nullptr;
    QList<QPair<QRectF, int>> selections;

    void showDocument(const QByteArray& bytes, int page)
    {
        app->document = PdfDocument::open(bytes);
        QVERIFY(app->document);
        view->setDocument(app->document.get());
        view->showPage(page);
        QCOMPARE(view->currentPage(), page);
        // With a document the zoom commands (Ctrl+0 among them) are on.
        app->refreshControls();
    }

    void settle()
    {
        // Scroll bars show and hide through queued calls; let them land.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // A drag with whole-pixel positions, as a mouse gives them.
    std::optional<QRectF> drag(const QPointF& from, const QPointF& to)
    {
        selections.clear();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from.toPoint());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to.toPoint());
        if (selections.isEmpty())
            return std::nullopt;
        return selections.first().first;
    }

    // A drag with exact, fractional positions.
    std::optional<QRectF> exactDrag(const QPointF& from, const QPointF& to)
    {
        selections.clear();
        sendMouse(view->viewport(), QEvent::MouseButtonPress, from);
        sendMouse(view->viewport(), QEvent::MouseButtonRelease, to);
        if (selections.isEmpty())
            return std::nullopt;
        return selections.first().first;
    }

    static bool near(const QRectF& got, const QRectF& want, double tolerance)
    {
        return std::abs(got.left() - want.left()) <= tolerance && std::abs(got.right() - want.right()) <= tolerance &&
               std::abs(got.top() - want.top()) <= tolerance && std::abs(got.bottom() - want.bottom()) <= tolerance;
    }

    static QByteArray sheetsPdf()
    {
        Fixtures::Document drawingSet;
        for (const Sheet& sheet : sheets) {
            Fixtures::Page page;
            page.mediaBox = sheet.media;
            page.cropBox = sheet.crop;
            page.rotate = sheet.rotate;
            drawingSet.pages.append(page);
        }
        return Fixtures::build(drawingSet).bytes;
    }

private Q_SLOTS:
    void init()
    {
        app = launchApp();
        view = app->pdf;
        selections.clear();
        view->selected = [this](const QRectF& rect, int page) { selections.append({rect, page}); };
    }
    void cleanup()
    {
        view = nullptr;
        app.reset();
    }

    void dragGivesBackTheUserRectangle_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QSize>("windowSize");
        QTest::addColumn<double>("zoom");
        const QList<QSize> sizes = {QSize(1180, 820), QSize(1500, 960)};
        for (int page = 0; page < sheets.size(); ++page) {
            for (const QSize& size : sizes) {
                for (double zoom : {1.0, 2.5}) {
                    QTest::addRow("page %d, %dx%d, zoom %.1f", page, size.width(), size.height(), zoom)
                        << page << size << zoom;
                }
            }
        }
        QTest::addRow("page 0, zoom 12") << 0 << QSize(1180, 820) << 12.0;
    }

    void dragGivesBackTheUserRectangle()
    {
        QFETCH(int, page);
        QFETCH(QSize, windowSize);
        QFETCH(double, zoom);

        app->window->resize(windowSize);
        QTRY_COMPARE(app->window->size(), windowSize);
        settle();
        showDocument(sheetsPdf(), page);
        const QRectF crop = cropOf(sheets[page]);
        QRectF wanted = titleBlockOf(crop);
        if (zoom > 1) {
            // As large on screen as the title block is when fitted.
            const QPointF centre = wanted.center();
            wanted.setSize(wanted.size() / zoom);
            wanted.moveCenter(centre);
            view->setZoom(zoom, view->pageTransform().map(wanted.center()));
            settle();
            QCOMPARE(view->zoom(), zoom);
        }

        const QTransform toView = view->pageTransform();
        const QPointF a = toView.map(wanted.topLeft());
        const QPointF b = toView.map(wanted.bottomRight());
        const QPointF c = toView.map(QPointF(wanted.right(), wanted.top()));
        const QPointF d = toView.map(QPointF(wanted.left(), wanted.bottom()));
        const QRectF visible = view->viewport()->rect();
        QVERIFY(visible.contains(a) && visible.contains(b));

        // One widget pixel, in points.
        const double pixel = 1.0 / view->scale();
        const std::optional<QRectF> got = drag(a, b);
        QVERIFY(got);
        QVERIFY2(near(*got, wanted, pixel), qPrintable(QString("got %1,%2 %3x%4")
                                                           .arg(got->x())
                                                           .arg(got->y())
                                                           .arg(got->width())
                                                           .arg(got->height())));
        QCOMPARE(selections.first().second, page);
        QVERIFY(!view->origin());

        // The reversed drag, and the other diagonal both ways, give the same.
        QCOMPARE(drag(b, a), got);
        const std::optional<QRectF> other = drag(c, d);
        QVERIFY(other && near(*other, wanted, pixel));
        QCOMPARE(drag(d, c), other);
    }

    void scrollingDuringADragKeepsItsStart()
    {
        showDocument(sheetsPdf(), 3);
        const QRectF wanted = titleBlockOf(cropOf(sheets[3]));
        view->setZoom(4, view->pageTransform().map(wanted.center()));
        settle();
        QVERIFY(view->verticalScrollBar()->maximum() > 0);
        selections.clear();
        const QPointF start = view->pageTransform().map(wanted.topLeft());
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, start.toPoint());
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() - 40);
        const QPointF end = view->pageTransform().map(wanted.bottomRight());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, end.toPoint());
        QCOMPARE(selections.size(), 1);
        QVERIFY(near(selections.first().first, wanted, 1.0 / view->scale()));
    }

    void sizeRules()
    {
        showDocument(sheetsPdf(), 4);
        // At scales whose arithmetic does not come out even, too.
        for (double zoom : {1.0, 1.37, 2.9, 7.3}) {
            view->setZoom(zoom, view->pageTransform().map(QPointF(120, 120)));
            settle();
            const QTransform toView = view->pageTransform();
            const auto at = [&](double x, double y) { return toView.map(QPointF(x, y)); };

            // Exactly 3 points on a side is too small, on either side.
            QVERIFY(!exactDrag(at(100, 100), at(103, 150)));
            QVERIFY(!exactDrag(at(100, 100), at(150, 103)));
            QVERIFY(!exactDrag(at(103, 150), at(100, 100)));
            QVERIFY(!exactDrag(at(100, 100), at(102, 102)));
            QVERIFY(!view->origin());
            // Just over 3 points on both sides is a region.
            const std::optional<QRectF> small = exactDrag(at(100, 100), at(103.5, 103.5));
            QVERIFY(small);
            QVERIFY(near(*small, QRectF(100, 100, 3.5, 3.5), 1e-6));
            QCOMPARE(selections.first().second, 4);
        }
    }

    void dragsThatGiveNothing()
    {
        showDocument(sheetsPdf(), 0);
        const QTransform toView = view->pageTransform();
        const QRectF sheet = toView.mapRect(cropOf(sheets[0]));
        const QPointF onPage = toView.map(QPointF(200, 300));
        const QPointF alsoOnPage = toView.map(QPointF(400, 500));
        // The portrait page sits in the middle of a wide view: the
        // background lies left and right of it.
        const QPointF offPage(sheet.right() + 6, sheet.center().y());
        QVERIFY(view->viewport()->rect().contains(offPage.toPoint()));

        // A click.
        QVERIFY(!drag(onPage, onPage));
        QVERIFY(!view->origin());
        // Ending on the background, or starting there.
        QVERIFY(!drag(onPage, offPage));
        QVERIFY(!view->origin());
        QVERIFY(!drag(offPage, onPage));
        QVERIFY(!view->origin());

        // While regions are not accepted, no press is recorded.
        view->setAcceptsRegions(false);
        QVERIFY(!drag(onPage, alsoOnPage));
        QVERIFY(!view->origin());
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, onPage.toPoint());
        QVERIFY(!view->origin());
        view->setAcceptsRegions(true);
        // A release with no press before it does nothing.
        selections.clear();
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, alsoOnPage.toPoint());
        QVERIFY(selections.isEmpty());

        // A page change during the drag.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, onPage.toPoint());
        view->showPage(5);
        selections.clear();
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, alsoOnPage.toPoint());
        QVERIFY(selections.isEmpty());
        QVERIFY(!view->origin());
    }

    void releaseWhileSwitchedOffKeepsTheStart()
    {
        showDocument(sheetsPdf(), 0);
        const QTransform toView = view->pageTransform();
        const QPointF first = toView.map(QPointF(100, 100));
        const QPointF second = toView.map(QPointF(300, 200));
        const QPointF end = toView.map(QPointF(400, 400));

        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, first.toPoint());
        view->setAcceptsRegions(false);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, end.toPoint());
        QVERIFY(view->origin());
        QVERIFY(selections.isEmpty());

        // The next accepted press starts its own drag.
        view->setAcceptsRegions(true);
        const std::optional<QRectF> got = drag(second, end);
        QVERIFY(got);
        QVERIFY(near(*got, QRectF(300, 200, 100, 200), 1.0 / view->scale()));
    }

    void aPressRightAfterAClickStartsADrag()
    {
        showDocument(sheetsPdf(), 0);
        const QTransform toView = view->pageTransform();
        const QPointF start = toView.map(QPointF(100, 100));
        const QPointF end = toView.map(QPointF(300, 250));
        // A click, then at once a press there (the toolkit delivers it as a
        // double click) and a drag to the end point.
        sendMouse(view->viewport(), QEvent::MouseButtonPress, start);
        sendMouse(view->viewport(), QEvent::MouseButtonRelease, start);
        QVERIFY(selections.isEmpty());
        sendMouse(view->viewport(), QEvent::MouseButtonDblClick, start);
        QVERIFY(view->origin());
        sendMouse(view->viewport(), QEvent::MouseButtonRelease, end);
        QCOMPARE(selections.size(), 1);
        QVERIFY(near(selections.first().first, QRectF(100, 100, 200, 150), 1e-6));
        QVERIFY(!view->origin());

        // Switched off, a double click records nothing either.
        view->setAcceptsRegions(false);
        sendMouse(view->viewport(), QEvent::MouseButtonDblClick, start);
        QVERIFY(!view->origin());
    }

    void noCallbackOnlyClearsTheStart()
    {
        showDocument(sheetsPdf(), 0);
        view->selected = nullptr;
        const QTransform toView = view->pageTransform();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, toView.map(QPointF(100, 100)).toPoint());
        QVERIFY(view->origin());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, toView.map(QPointF(300, 300)).toPoint());
        QVERIFY(!view->origin());
    }

    void theApplicationReceivesTheDrag()
    {
        // Installed at launch: the view's callback reaches the application
        // object, weakly held.
        App other(std::make_unique<ScriptedToolkit>());
        other.applicationDidFinishLaunching();
        QVERIFY(other.pdf->selected);
        other.pdf->selected(QRectF(1, 1, 10, 10), 0); // reaches App::selectRegion without a document
        QVERIFY(!other.busy());
    }

    void zoomAndPan()
    {
        showDocument(sheetsPdf(), 1);
        QCOMPARE(view->zoom(), 1.0);
        QCOMPARE(view->verticalScrollBar()->maximum(), 0);
        const QPointF pointer = view->pageTransform().map(QPointF(300, 400));
        const QPointF under = view->pageTransform().inverted().map(pointer);

        // Ctrl+wheel zooms about the pointer (far enough that the page
        // overflows the view both ways; a page narrower than the view stays
        // centred across it).
        QWheelEvent wheel(pointer, view->viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, 6 * 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        settle();
        QVERIFY(view->zoom() > 2.5);
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        const QPointF after = view->pageTransform().map(under);
        QVERIFY2(QLineF(after, pointer).length() < 1.5, qPrintable(QString("%1,%2 vs %3,%4").arg(after.x()).arg(after.y()).arg(pointer.x()).arg(pointer.y())));

        // A plain wheel pans.
        const int before = view->verticalScrollBar()->value();
        QWheelEvent pan(pointer, view->viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &pan);
        QVERIFY(view->verticalScrollBar()->value() > before);

        // A pinch zooms too.
        const double zoomBefore = view->zoom();
        QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, pointer, pointer,
                                  view->viewport()->mapToGlobal(pointer), 0.5, QPointF());
        QApplication::sendEvent(view->viewport(), &pinch);
        QCOMPARE(view->zoom(), zoomBefore * 1.5);

        // Ctrl+0 fits the page again.
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        QTest::keyClick(app->window.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->zoom(), 1.0);
        settle();
        QCOMPARE(view->verticalScrollBar()->maximum(), 0);

        // Showing the same page again keeps the zoom; another page is fitted.
        view->setZoom(3, pointer);
        view->showPage(1);
        QCOMPARE(view->zoom(), 3.0);
        view->showPage(2);
        QCOMPARE(view->zoom(), 1.0);
    }

    void outlinesCanBeGrabbedWhenTheOwnerAsks()
    {
        showDocument(sheetsPdf(), 0);
        const QRectF number(300, 100, 120, 40);
        view->setOutlines({{0, number, false}});
        view->setZoom(2, view->pageTransform().map(number.center()));
        settle();
        QWidget* port = view->viewport();
        const QRectF shown = view->pageTransform().mapRect(number);
        const double scale = view->scale();

        QList<QRectF> adjustedTo;
        QList<QRectF> drawn;
        view->selected = [&](const QRectF& rect, int) { drawn.append(rect); };
        // Without the hook (the window sets one), a drag that begins on an
        // outline draws a new region.
        view->adjusted = nullptr;
        const QPoint middle = shown.center().toPoint();
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, middle);
        QTest::mouseMove(port, middle + QPoint(30, 20));
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, middle + QPoint(30, 20));
        QCOMPARE(drawn.size(), 1);
        drawn.clear();

        view->adjusted = [&](const PageOutline& outline, const QRectF& rect) {
            QCOMPARE(outline.rect, number);
            adjustedTo.append(rect);
        };
        // Edges (as shown on screen), corners and the inside.
        QCOMPARE(view->grabAt(QPointF(shown.right(), shown.center().y()))->edges, Qt::Edges(Qt::RightEdge));
        QCOMPARE(view->grabAt(shown.topLeft())->edges, Qt::Edges(Qt::LeftEdge | Qt::TopEdge));
        QCOMPARE(view->grabAt(shown.center())->edges, Qt::Edges());
        QVERIFY(!view->grabAt(shown.topLeft() - QPointF(20, 20)));
        QTest::mouseMove(port, QPointF(shown.right(), shown.center().y()).toPoint());
        QCOMPARE(port->cursor().shape(), Qt::SizeHorCursor);

        // Resizing the right edge by 20 px.
        const QPoint edge = QPointF(shown.right(), shown.center().y()).toPoint();
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, edge);
        QTest::mouseMove(port, edge + QPoint(10, 0));
        QTest::mouseMove(port, edge + QPoint(20, 0));
        QVERIFY(view->dragRect());
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, edge + QPoint(20, 0));
        QCOMPARE(adjustedTo.size(), 1);
        QVERIFY(std::abs(adjustedTo[0].width() - (number.width() + 20 / scale)) < 1.5 / scale);
        QVERIFY(std::abs(adjustedTo[0].left() - number.left()) < 1e-6);
        QVERIFY(std::abs(adjustedTo[0].height() - number.height()) < 1e-6);

        // Moving from inside keeps the size.
        const QPoint inside = shown.center().toPoint();
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, inside);
        QTest::mouseMove(port, inside + QPoint(-15, 10));
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, inside + QPoint(-15, 10));
        QCOMPARE(adjustedTo.size(), 2);
        QVERIFY(std::abs(adjustedTo[1].width() - number.width()) < 1e-6);
        QVERIFY(std::abs(adjustedTo[1].left() - (number.left() - 15 / scale)) < 1.5 / scale);
        QVERIFY(drawn.isEmpty());

        // A drag outside the outline draws a new region.
        const QPoint from = (shown.topLeft() - QPointF(60, 40)).toPoint();
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(port, from + QPoint(30, 20));
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 20));
        QCOMPARE(drawn.size(), 1);
        QCOMPARE(adjustedTo.size(), 2);
    }

    void outlinesAreDrawnOverThePage()
    {
        showDocument(sheetsPdf(), 0);
        const QRectF number(300, 100, 120, 40);
        const QRectF title(150, 200, 240, 60);
        const QRectF elsewhere(160, 100, 100, 60);
        view->setOutlines({{0, number, false}, {0, title, true}, {1, elsewhere, false}});
        view->setZoom(2, view->pageTransform().map(QPointF(280, 180)));
        settle();

        const QTransform toView = view->pageTransform();
        const QImage image = view->viewport()->grab().toImage();
        const auto dark = [&](const QPointF& user) {
            // The pixel the point lies in.
            const QPointF p = toView.map(user);
            return qGray(image.pixel(int(std::floor(p.x())), int(std::floor(p.y())))) < 128;
        };
        // The border lies just inside the rectangle: 1.5 pt wide.
        QVERIFY(dark(QPointF(number.left() + 0.75, number.center().y())));
        QVERIFY(dark(QPointF(number.center().x(), number.top() + 0.75)));
        QVERIFY(!dark(number.center()));
        QVERIFY(!dark(QPointF(number.left() - 3, number.center().y())));

        // The title's border is dashed 4 on, 3 off: along its top edge both
        // ink and gaps appear, and the ink takes about 4/7 of the length.
        int ink = 0, samples = 0;
        for (double x = title.left() + 10; x < title.right() - 10; x += 0.25, ++samples)
            ink += dark(QPointF(x, title.bottom() - 0.75)) ? 1 : 0;
        QVERIFY(ink > samples * 0.4 && ink < samples * 0.75);

        // An outline of another page is not drawn on this one.
        QVERIFY(!dark(QPointF(elsewhere.left() + 0.75, elsewhere.center().y())));
        view->setOutlines({});
        const QImage cleared = view->viewport()->grab().toImage();
        const QPointF border = toView.map(QPointF(number.left() + 0.75, number.center().y()));
        QVERIFY(qGray(cleared.pixel(int(std::floor(border.x())), int(std::floor(border.y())))) > 128);
    }

    void imagesAreMadeOffTheMainThread()
    {
        QSignalSpy arrived(view, &RegionView::imageArrived);
        showDocument(Fixtures::heavy(2).bytes, 0);
        // showPage has returned: the white sheet is up, the image is not.
        QVERIFY(!view->hasImage());
        QCOMPARE(arrived.count(), 0);
        // Another page right away: the first one's image is never shown.
        view->showPage(1);
        QTRY_VERIFY_WITH_TIMEOUT(view->hasImage(), 120000);
        QVERIFY(view->imageThread());
        QVERIFY(view->imageThread() != QThread::currentThread());
        QCOMPARE(view->imageThread(), view->renderer()->thread());
        for (const QList<QVariant>& signal : arrived) {
            QCOMPARE(signal.at(0).toInt(), 1);
            QVERIFY(signal.at(1).value<QThread*>() != QThread::currentThread());
        }
        // The drawing is on screen: ink inside the sheet.
        const QImage shown = view->viewport()->grab().toImage();
        const QRect sheet = view->pageTransform().mapRect(app->document->page(1)->cropBox()).toRect();
        int inked = 0;
        for (int y = sheet.top() + 2; y < sheet.bottom() - 2; y += 3) {
            for (int x = sheet.left() + 2; x < sheet.right() - 2; x += 3)
                inked += qGray(shown.pixel(x, y)) < 128 ? 1 : 0;
        }
        QVERIFY(inked > 20);

        // After a resize the previous image stays until a sharper one comes.
        const int before = arrived.count();
        app->window->resize(1500, 960);
        QTRY_COMPARE(app->window->size(), QSize(1500, 960));
        QVERIFY(view->hasImage());
        QTRY_VERIFY_WITH_TIMEOUT(arrived.count() > before, 120000);
        QVERIFY(arrived.last().at(1).value<QThread*>() != QThread::currentThread());
    }
};

QTEST_MAIN(RegionViewTest)
#include "tst_regionview.moc"
