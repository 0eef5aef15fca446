// The page renderer's kept images and its work ahead: what was rendered
// before is delivered at once (from the render thread's image, never made on
// the main thread), a request is never held up by work ahead, and a new
// source drops everything kept. Also the page view's use of it: the pages
// next to the shown one are rendered while it is looked at.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "PageRenderer.h"
#include "RegionView.h"
#include "TestPaths.h"

#include <QAction>
#include <QSignalSpy>
#include <QTableView>
#include <QThread>

#include <optional>

namespace {
using Fixtures::Document;
using Fixtures::Page;

// Three letter pages, each with its own large label, so that their images
// differ.
QByteArray threePages(const QString& prefix)
{
    Document doc;
    for (int i = 0; i < 3; ++i) {
        Page page;
        page.texts = {{prefix + QString::number(i + 1), 72, 400, 96}};
        page.lineSegments = 200;
        doc.pages.append(page);
    }
    return Fixtures::build(doc).bytes;
}

// Waits for the next image delivered on `channel` for `ticket`.
std::optional<PageRenderer::Result> delivered(PageRenderer& renderer, quint64 ticket, int channel = 0)
{
    std::optional<PageRenderer::Result> got;
    const QMetaObject::Connection c =
        QObject::connect(&renderer, &PageRenderer::rendered, [&](const PageRenderer::Result& r) {
            if (r.channel == channel && r.ticket == ticket)
                got = r;
        });
    const bool arrived = QTest::qWaitFor([&] { return got.has_value(); }, 30000);
    QObject::disconnect(c);
    return arrived ? got : std::nullopt;
}
} // namespace

class PageRendererTest : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void aPageSeenBeforeIsDeliveredAtOnce()
    {
        PageRenderer renderer;
        renderer.setSource(threePages(QStringLiteral("P")));
        const auto first = delivered(renderer, renderer.request(0, 0, 36));
        QVERIFY(first && !first->image.isNull());
        QVERIFY(!first->kept);
        QVERIFY(renderer.isKept(0, 36));
        QVERIFY(delivered(renderer, renderer.request(0, 1, 36)));

        // Back to the first page: the same pixels, made on the render thread
        // before, delivered without a render.
        const auto again = delivered(renderer, renderer.request(0, 0, 36));
        QVERIFY(again);
        QVERIFY(again->kept);
        QCOMPARE(again->image, first->image);
        QCOMPARE(again->thread, renderer.thread());
        // Another resolution or region is another image.
        QVERIFY(!renderer.isKept(0, 40));
        QVERIFY(!renderer.isKept(0, 36, QRectF(0, 0, 100, 100)));
    }

    void pagesAskedAheadAreReadyWhenShown()
    {
        PageRenderer renderer;
        renderer.setSource(threePages(QStringLiteral("A")));
        renderer.renderAhead({{2, 30, {}}, {1, 30, {}}});
        QTRY_VERIFY_WITH_TIMEOUT(renderer.isKept(2, 30) && renderer.isKept(1, 30), 30000);
        const auto shown = delivered(renderer, renderer.request(0, 1, 30));
        QVERIFY(shown);
        QVERIFY(shown->kept);
        QCOMPARE(shown->page, 1);

        // The image ahead is the one a request makes.
        PageRenderer fresh;
        fresh.setSource(threePages(QStringLiteral("A")));
        const auto made = delivered(fresh, fresh.request(0, 1, 30));
        QVERIFY(made && !made->kept);
        QCOMPARE(made->image, shown->image);
    }

    void aRequestComesBeforeWorkAhead()
    {
        PageRenderer renderer;
        renderer.setSource(threePages(QStringLiteral("R")));
        // Fine renders of the other pages are wanted ahead; the request for
        // a small image of page 0 is served all the same, and the work
        // ahead resumes after it.
        renderer.renderAhead({{1, 400, {}}, {2, 400, {}}});
        const auto shown = delivered(renderer, renderer.request(0, 0, 20));
        QVERIFY(shown && !shown->image.isNull());
        QTRY_VERIFY_WITH_TIMEOUT(renderer.isKept(1, 400) && renderer.isKept(2, 400), 60000);
    }

    // A zoomed page view asks for the part around what it shows; an image
    // of a larger part, made ahead, serves it.
    void aLargerPartServesAPartInsideIt()
    {
        PageRenderer renderer;
        renderer.setSource(threePages(QStringLiteral("Z")));
        const QRectF around(40, 300, 300, 250);
        renderer.renderAhead({{1, 150, around}});
        QTRY_VERIFY_WITH_TIMEOUT(renderer.isKept(1, 150, around), 30000);
        const QRectF inside(60, 350, 200, 150);
        QVERIFY(renderer.isKept(1, 150, inside));
        QVERIFY(!renderer.isKept(1, 150, inside.translated(150, 0))); // reaches outside it
        QVERIFY(!renderer.isKept(1, 151, inside));
        QVERIFY(!renderer.isKept(2, 150, inside));
        const auto shown = delivered(renderer, renderer.request(0, 1, 150, inside));
        QVERIFY(shown && shown->kept);
        QCOMPARE(shown->region, around);
        // The larger part's pixels, to the pixel.
        QVERIFY(std::abs(shown->image.width() - 300 * 150 / 72.0) <= 1);
        QVERIFY(std::abs(shown->image.height() - 250 * 150 / 72.0) <= 1);
    }

    void aNewSourceDropsWhatWasKept()
    {
        PageRenderer renderer;
        renderer.setSource(threePages(QStringLiteral("X")));
        const auto before = delivered(renderer, renderer.request(0, 0, 36));
        QVERIFY(before);
        renderer.setSource(threePages(QStringLiteral("Y")));
        QVERIFY(!renderer.isKept(0, 36));
        const auto after = delivered(renderer, renderer.request(0, 0, 36));
        QVERIFY(after && !after->kept);
        QVERIFY(after->image != before->image);
    }

    void thePageViewRendersTheNextRowsAhead()
    {
        AppDriver driver;
        QVERIFY(driver.open(TestPaths::samplePath()));
        App& app = *driver.app;
        QTRY_VERIFY_WITH_TIMEOUT(app.pdf->hasImage(), 30000);
        // Rows 1 and 2 are sheets of one size, so page 2 fitted has the
        // resolution page 1 has.
        QCOMPARE(Fixtures::sampleSheets()[1].group, Fixtures::sampleSheets()[2].group);

        // While page 1 is looked at, page 2 is made; showing it then needs
        // no render.
        app.table->selectRow(1);
        QTRY_VERIFY_WITH_TIMEOUT(app.pdf->currentPage() == 1 && app.pdf->hasImage(), 30000);
        PageRenderer* renderer = app.pdf->renderer();
        const double dpi = 72 * (app.pdf->scale() * app.pdf->viewport()->devicePixelRatioF());
        QTRY_VERIFY_WITH_TIMEOUT(renderer->isKept(2, dpi), 30000);
        std::optional<PageRenderer::Result> next;
        connect(renderer, &PageRenderer::rendered, this, [&](const PageRenderer::Result& r) {
            if (r.page == 2)
                next = r;
        });
        app.table->selectRow(2);
        QTRY_VERIFY_WITH_TIMEOUT(next.has_value(), 30000);
        QVERIFY(next->kept);
        QTRY_VERIFY(app.pdf->hasImage());
        QCOMPARE(app.pdf->imageThread(), renderer->thread());
    }

    // With the group's regions set, its pages open framed on them: the next
    // row's page is made ahead as it will open, zoomed.
    void theNextRowIsMadeAheadAsItWillOpen()
    {
        AppDriver driver;
        QVERIFY(driver.open(TestPaths::samplePath()));
        App& app = *driver.app;
        app.pdf->selected(Fixtures::sampleNumberRegion(0), 0);
        app.pdf->selected(Fixtures::sampleTitleRegion(0), 0);
        app.table->selectRow(1);
        QTRY_VERIFY_WITH_TIMEOUT(app.pdf->currentPage() == 1 && app.pdf->hasImage(), 30000);
        QVERIFY(app.pdf->zoom() > 2);
        PageRenderer* renderer = app.pdf->renderer();
        std::optional<PageRenderer::Result> next;
        connect(renderer, &PageRenderer::rendered, this, [&](const PageRenderer::Result& r) {
            if (r.page == 2)
                next = r;
        });
        // Shown once the work ahead is done.
        QTRY_VERIFY_WITH_TIMEOUT(renderer->idle(), 30000);
        app.table->selectRow(2);
        QTRY_VERIFY_WITH_TIMEOUT(next.has_value(), 30000);
        QVERIFY(next->kept);
        QVERIFY(app.pdf->zoom() > 2);

        // Zoomed further by the user: once the view settles, the next row is
        // made ahead at the new place.
        app.pdf->zoomActions().first()->trigger(); // "Zoom in"
        QVERIFY(app.pdf->placedByUser());
        QTest::qWait(400);
        QTRY_VERIFY_WITH_TIMEOUT(renderer->idle(), 30000);
        std::optional<PageRenderer::Result> third;
        connect(renderer, &PageRenderer::rendered, this, [&](const PageRenderer::Result& r) {
            if (r.page == 3)
                third = r;
        });
        app.table->selectRow(3);
        QTRY_VERIFY_WITH_TIMEOUT(third.has_value(), 30000);
        QVERIFY(third->kept);
    }
};

QTEST_MAIN(PageRendererTest)
#include "tst_pagerenderer.moc"
