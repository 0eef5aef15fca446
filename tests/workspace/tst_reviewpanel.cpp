// The region review panel: one panel at a time, its texts, sizes and
// layout, the crops rendered off the main thread from the source bytes
// (never the displayed document with its outlines), and every way it
// closes.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "PageRenderer.h"
#include "PdfDocument.h"
#include "ReasonHighlights.h"
#include "RegionCropView.h"
#include "RegionReviewPanel.h"
#include "TestPaths.h"

#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QThread>

namespace {
QStringList labelTexts(const QWidget* panel)
{
    QStringList texts;
    for (const QLabel* label : panel->findChildren<QLabel*>())
        texts.append(label->text());
    return texts;
}

// True when every pixel on the image's outer ring is white.
bool whiteBorder(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < rgb.width(); ++x) {
        if (rgb.pixel(x, 0) != qRgb(255, 255, 255) || rgb.pixel(x, rgb.height() - 1) != qRgb(255, 255, 255))
            return false;
    }
    for (int y = 0; y < rgb.height(); ++y) {
        if (rgb.pixel(0, y) != qRgb(255, 255, 255) || rgb.pixel(rgb.width() - 1, y) != qRgb(255, 255, 255))
            return false;
    }
    return true;
}

bool hasDark(const QImage& image)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            if (line[x] < 100)
                return true;
        }
    }
    return false;
}
} // namespace

class ReviewPanelTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    int scanned = -1;

    RegionReviewPanel* panel() const { return qobject_cast<RegionReviewPanel*>(app->reviewPanel.data()); }
    int panelCount() const { return int(app->window->findChildren<RegionReviewPanel*>().size()); }
    void inspect() { QTest::mouseClick(app->inspectButton, Qt::LeftButton); }

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
    }
    void cleanup() { driver.reset(); }

    void panelWithoutRegionsOrValues()
    {
        inspect();
        QVERIFY(panel());
        QVERIFY(panel()->isVisible());
        QVERIFY(!panel()->isModal());
        QCOMPARE(panel()->windowTitle(), QString("Page 1 \u2014 Region review"));
        QCOMPARE(panel()->size(), QSize(900, 590));
        QCOMPARE(panel()->minimumSize(), QSize(760, 500));
        QVERIFY(!(panel()->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(panel()->windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(panel()->palette().color(QPalette::Window), QColor(Qt::white));

        const QStringList texts = labelTexts(panel());
        QVERIFY(texts.contains(RegionReviewPanel::introduction()));
        QVERIFY(RegionReviewPanel::introduction().contains(QString("\u2018This page only\u2019")));
        QVERIFY(texts.contains("Number"));
        QVERIFY(texts.contains("Title"));
        QCOMPARE(texts.count(RegionReviewPanel::noRegionText()), 2);
        QCOMPARE(texts.count("Table value: Not read / not entered"), 2);
        QVERIFY(
            texts.contains("Text availability is not a correctness check. Review every page before export."));
        QVERIFY(!panel()->numberCrop());
        QVERIFY(!panel()->titleCrop());
        for (const QLabel* label : panel()->findChildren<QLabel*>()) {
            if (label->text() == "Number" || label->text() == "Title") {
                QCOMPARE(label->font().pixelSize(), 16);
                QVERIFY(label->font().bold());
            }
        }
    }

    void onePanelAfterTwoPresses()
    {
        inspect();
        const QPointer<QWidget> first = app->reviewPanel;
        inspect();
        QVERIFY(app->reviewPanel);
        QVERIFY(app->reviewPanel != first);
        QTRY_VERIFY(!first);
        QCOMPARE(panelCount(), 1);

        // Its close button only hides it; the application still holds it.
        app->reviewPanel->close();
        QVERIFY(app->reviewPanel);
        QVERIFY(!app->reviewPanel->isVisible());
        inspect();
        QTRY_COMPARE(panelCount(), 1);
        QVERIFY(app->reviewPanel->isVisible());
    }

    void cropsFromTheSourceBytes()
    {
        const QRectF number = Fixtures::sampleNumberRegion(0);
        // A title region that reaches past the page: only the part inside
        // the crop box is shown.
        const QRectF title = Fixtures::sampleTitleRegion(0).adjusted(0, 0, 200, 0);
        app->pdf->selected(number, 0);
        app->pdf->selected(title, 0);
        app->rows[0].insert("number", "A-001");
        inspect();
        RegionReviewPanel* p = panel();
        QVERIFY(p);
        QVERIFY(p->numberCrop());
        QVERIFY(p->titleCrop());
        QVERIFY(labelTexts(p).contains("Table value: A-001"));
        QVERIFY(labelTexts(p).contains("Table value: Not read / not entered"));
        QVERIFY(p->numberCrop()->minimumHeight() >= 260);
        // The two columns share the width equally.
        QTRY_VERIFY(p->numberCrop()->width() > 0);
        QVERIFY(std::abs(p->numberCrop()->width() - p->titleCrop()->width()) <= 1);

        const QRectF crop = app->document->page(0)->cropBox();
        QCOMPARE(p->numberCrop()->shownRegion(), number);
        QCOMPARE(p->titleCrop()->shownRegion(), title.intersected(crop));

        QTRY_VERIFY_WITH_TIMEOUT(!p->numberCrop()->image().isNull(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!p->titleCrop()->image().isNull(), 30000);
        for (RegionCropView* view : {p->numberCrop(), p->titleCrop()}) {
            QVERIFY(view->imageThread());
            QVERIFY(view->imageThread() != QThread::currentThread());
            // The page view's renderer makes them, on its own thread.
            QCOMPARE(p->renderer(), app->pdf->renderer());
            QCOMPARE(view->imageThread(), p->renderer()->thread());
            // Scaled to fit, aspect ratio kept, centred.
            const QRectF shown = view->imageRect();
            const QSizeF region = view->shownRegion().size();
            QVERIFY(std::abs(shown.width() / shown.height() - region.width() / region.height()) < 0.01);
            QVERIFY(qFuzzyCompare(shown.width(), double(view->width())) ||
                    qFuzzyCompare(shown.height(), double(view->height())));
            QVERIFY(std::abs(shown.center().x() - view->width() / 2.0) < 0.5);
            // The sheet's printing is there, the outlines are not: the
            // number's border would run along the image's edge.
            const QImage image = view->image();
            // Whole pixels cover the region: within two pixels of its ratio.
            const double ratio = region.width() / region.height();
            QVERIFY(std::abs(image.height() - image.width() / ratio) <= 2);
            QVERIFY(hasDark(image));
        }
        QVERIFY(whiteBorder(p->numberCrop()->image()));
        QCOMPARE(app->pdf->outlines().size(), 2);
    }

    void numberOnlyAndNoTextPage()
    {
        // The page without text, with an override holding only a number.
        driver->clickRow(scanned);
        AppDriver::clickSegment(app->scope, 1);
        app->pdf->selected(Fixtures::sampleNumberRegion(0), scanned);
        app->rows[scanned].insert("title", "EXISTING SITE SURVEY");
        inspect();
        QVERIFY(panel());
        QCOMPARE(panel()->windowTitle(), QString("Page %1 \u2014 Region review").arg(scanned + 1));
        QVERIFY(panel()->numberCrop());
        QVERIFY(!panel()->titleCrop());
        const QStringList texts = labelTexts(panel());
        QCOMPARE(texts.count(RegionReviewPanel::noRegionText()), 1);
        QVERIFY(texts.contains("Table value: Not read / not entered"));
        QVERIFY(texts.contains("Table value: EXISTING SITE SURVEY"));
        QVERIFY(texts.contains(
            "No extractable text on this page. Read the image and enter names manually in the table."));
    }

    // Once the panel has shown crops, the next row's crops of that size are
    // made while the reviewer looks: the panel opened there shows them
    // without a render.
    void theNextRowsCropsAreMadeAhead()
    {
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        driver->clickRow(1);
        inspect();
        QTRY_VERIFY_WITH_TIMEOUT(!panel()->numberCrop()->image().isNull(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel()->titleCrop()->image().isNull(), 30000);
        PageRenderer* renderer = app->pdf->renderer();
        QTRY_VERIFY_WITH_TIMEOUT(renderer->idle(), 30000);

        QList<PageRenderer::Result> crops;
        connect(renderer, &PageRenderer::rendered, this, [&](const PageRenderer::Result& r) {
            if (r.page == 2 && r.channel != 0)
                crops.append(r);
        });
        driver->clickRow(2);
        inspect();
        QTRY_COMPARE_WITH_TIMEOUT(crops.size(), 2, 30000);
        QVERIFY(crops[0].kept && crops[1].kept);
        QVERIFY(!panel()->numberCrop()->image().isNull() && !panel()->titleCrop()->image().isNull());
    }

    void lastPageTitle()
    {
        driver->clickRow(11);
        inspect();
        QCOMPARE(panel()->windowTitle(), QString("Page 12 \u2014 Region review"));
    }

    void quitAndEditKeysWorkFromThePanel()
    {
        inspect();
        QVERIFY(panel());
        // The panel is the active window, as after a click into it.
        QApplication::setActiveWindow(panel());
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(panel()));
        QMenuBar* bar = app->window->menuBar();
        // Found by title: other menus and entries may stand before them.
        const auto find = [bar](const QString& menu, const QString& title) -> QAction* {
            for (QAction* top : bar->actions()) {
                if (top->text() != menu || !top->menu())
                    continue;
                for (QAction* item : top->menu()->actions()) {
                    if (item->text() == title)
                        return item;
                }
            }
            return nullptr;
        };
        QAction* quit = find("Planfolio", "Quit Planfolio");
        QAction* selectAll = find("Edit", "Select All");
        QVERIFY(quit && selectAll);
        QCOMPARE(selectAll->text(), QString("Select All"));

        QSignalSpy selectAllRuns(selectAll, &QAction::triggered);
        QTest::keySequence(panel(), selectAll->shortcut());
        QCOMPARE(selectAllRuns.count(), 1);

        QTest::keySequence(panel(), quit->shortcut());
        QCOMPARE(driver->toolkit->terminations, 1);
    }

    void closeButtonEscapeAndCtrlW()
    {
        const auto activePanel = [this] {
            inspect();
            QApplication::setActiveWindow(panel());
            return QTest::qWaitFor([this] { return QApplication::activeWindow() == panel(); }, 5000);
        };
        QVERIFY(activePanel());
        QCOMPARE(panel()->closeButton()->text(), QString("Close"));
        QTest::mouseClick(panel()->closeButton(), Qt::LeftButton);
        QVERIFY(!panel()->isVisible());

        QVERIFY(activePanel());
        QTest::keyClick(panel(), Qt::Key_Escape);
        QVERIFY(!panel()->isVisible());

        QVERIFY(activePanel());
        QTest::keyClick(panel(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!panel()->isVisible());
        // Only ever one panel, hidden or not.
        QTRY_COMPARE(panelCount(), 1);
    }

    void stepsThroughRowsWhereTheUserPutIt()
    {
        driver->clickRow(0);
        inspect();
        QVERIFY(panel());
        panel()->resize(820, 560);
        panel()->move(40, 30);
        const QPoint place = panel()->pos();
        const QSize size = panel()->size();
        QApplication::setActiveWindow(panel());
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(panel()));

        const auto expectShown = [&](int page) {
            QCOMPARE(app->activePage, page);
            QVERIFY(panel() && panel()->isVisible());
            QCOMPARE(panel()->windowTitle(), QString("Page %1 \u2014 Region review").arg(page + 1));
            QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), page);
            QCOMPARE(panel()->size(), size);
            QCOMPARE(panel()->pos(), place);
            QApplication::setActiveWindow(panel());
            QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(panel()));
        };
        QTest::keyClick(panel(), Qt::Key_PageDown);
        expectShown(1);
        QTest::keyClick(panel(), Qt::Key_Down, Qt::ControlModifier);
        expectShown(2);
        QTest::keyClick(panel(), Qt::Key_PageUp);
        expectShown(1);
        QTest::mouseClick(panel()->nextButton(), Qt::LeftButton);
        expectShown(2);
        QTest::mouseClick(panel()->previousButton(), Qt::LeftButton);
        expectShown(1);
        QTest::keyClick(panel(), Qt::Key_Up, Qt::ControlModifier);
        expectShown(0);
        // Nothing before the first row: the same panel stays.
        const QPointer<RegionReviewPanel> first = panel();
        QTest::keyClick(panel(), Qt::Key_PageUp);
        QCOMPARE(panel(), first.data());
        QCOMPARE(app->activePage, 0);
        QTRY_COMPARE(panelCount(), 1);

        // After the last row, nothing either.
        driver->clickRow(int(app->rows.size()) - 1);
        inspect();
        const QPointer<RegionReviewPanel> last = panel();
        app->stepReviewPanel(1);
        QCOMPARE(panel(), last.data());
    }

    void warningReasonsInTooltipAndCrops()
    {
        const int page = 0;
        driver->clickRow(page);
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        const QRectF title = Fixtures::sampleTitleRegion(0);
        // As a read records them: a glyph the title's top border cuts, and
        // a caption just above it.
        EdgeReason cut;
        cut.kind = EdgeReason::Kind::Cut;
        cut.region = "Title region";
        cut.text = "PLAN";
        cut.edge = "top";
        cut.box = QRectF(title.left() + 20, title.bottom() - 6, 40, 12);
        EdgeReason nearby;
        nearby.kind = EdgeReason::Kind::Nearby;
        nearby.region = "Title region";
        nearby.text = "SHEET TITLE";
        nearby.edge = "top";
        nearby.distance = 1.2;
        nearby.box = QRectF(title.left() + 60, title.bottom() + 1.2, 80, 8);
        app->edgeReasons.insert(page, {cut, nearby});
        app->rows[page].insert("state", ReviewState::checkEdges);
        app->reloadTable();

        // The Review cell's tooltip: one sentence a line.
        const QModelIndex state = app->table->model()->index(page, ReviewTableModel::column("state"));
        QCOMPARE(state.data(Qt::ToolTipRole).toString(), cut.sentence() + "\n" + nearby.sentence());

        // The panel marks both over the title crop, and says why.
        inspect();
        QVERIFY(panel() && panel()->titleCrop());
        QVERIFY(!panel()->numberHighlights());
        QVERIFY(panel()->titleHighlights());
        const QStringList texts = labelTexts(panel());
        QVERIFY(texts.contains(cut.sentence() + "\n" + nearby.sentence()));
        QTRY_VERIFY(!panel()->titleCrop()->imageRect().isEmpty());
        const QRectF image = panel()->titleCrop()->imageRect();
        const QList<QRectF> marks = panel()->titleHighlights()->marks();
        QCOMPARE(marks.size(), 2);
        // The cut glyph: inside the crop, at its top.
        QVERIFY(image.contains(marks[0]));
        QVERIFY(marks[0].top() - image.top() < 1);
        // The caption outside: a bar along the top edge, over its extent.
        QVERIFY(std::abs(marks[1].top() - image.top()) < 1);
        QVERIFY(marks[1].height() < 10);
        QVERIFY(marks[1].left() > marks[0].left());

        // Gone once the row is edited.
        QVERIFY(driver->enter(page, "title", "SITE PLAN"));
        QVERIFY(!app->edgeReasons.contains(page));
        QCOMPARE(state.data(Qt::ToolTipRole), QVariant());
        // And once regions change and the row is emptied.
        app->edgeReasons.insert(page, {cut});
        const QPointF middle = Fixtures::sampleNumberRegion(0).center();
        driver->moveOutline(middle, middle + QPointF(-40, 0));
        QVERIFY(!app->edgeReasons.contains(page));
    }

    void everyWayItCloses()
    {
        // Selecting another row.
        inspect();
        QPointer<QWidget> open = app->reviewPanel;
        driver->clickRow(4);
        QVERIFY(!app->reviewPanel);
        QTRY_VERIFY(!open);

        // A drag.
        inspect();
        open = app->reviewPanel;
        app->pdf->selected(QRectF(100, 100, 50, 50), 4);
        QVERIFY(!app->reviewPanel);
        QTRY_VERIFY(!open);

        // The scope switch.
        inspect();
        AppDriver::clickSegment(app->scope, 1);
        QVERIFY(!app->reviewPanel);

        // An edit that changes a value.
        inspect();
        QVERIFY(driver->enter(4, "number", "A-101"));
        QVERIFY(!app->reviewPanel);

        // Starting a task; pressing while busy closes and opens nothing.
        inspect();
        app->token = std::make_shared<WorkCancellation>();
        inspect();
        QVERIFY(!app->reviewPanel);
        app->token.reset();
        QTRY_COMPARE(panelCount(), 0);
    }
};

QTEST_MAIN(ReviewPanelTest)
#include "tst_reviewpanel.moc"
