// The window while the PDF helper misbehaves: an open whose text check is
// stuck inside the library is cancelled at once and keeps the previous
// document; a page that crashes the helper fails the open with its page
// number; a page that cannot be rendered says so in the page view; and the
// review survives all of it. Reads select from the layers the open kept.

#include "AppDriver.h"
#include "Fixtures.h"
#include "HelperFault.h"
#include "TestPaths.h"

#include <QElapsedTimer>
#include <QLabel>

class HelperFaultsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;

    bool openSampleWithRegions()
    {
        if (!driver->open(TestPaths::samplePath()))
            return false;
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        return driver->enter(2, "number", "TYPED-2");
    }

private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
    }
    void cleanup() { driver.reset(); }

    void cancelReachesAStuckTextCheck()
    {
        QVERIFY(openSampleWithRegions());
        const QList<ReviewRow> rows = app->rows;
        const PdfDocument* document = app->document.get();
        const HelperFault stuck("hang", 5, "text");
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(app->status->text().startsWith(QStringLiteral("Checking text")), 20000);
        // Page 6 is stuck; wait until every other page is through.
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(app->cancelButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        qInfo("the stuck open ended %lld ms after Cancel", clock.elapsed());
        QVERIFY2(clock.elapsed() < 3000, "the cancel did not reach the stuck helper");
        QCOMPARE(app->status->text(), QStringLiteral("Open cancelled. Previous document retained."));
        QCOMPARE(app->document.get(), document);
        QCOMPARE(app->rows, rows);
    }

    void crashingPageFailsTheOpenAndKeepsTheReview()
    {
        QVERIFY(openSampleWithRegions());
        const QList<ReviewRow> rows = app->rows;
        const HelperFault crashing("crash", 3, "text");
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(app->status->text(), QStringLiteral("Open failed: Page 4 is unreadable."));
        QCOMPARE(app->rows, rows);
        QVERIFY(app->readButton->isEnabled());
    }

    void pageThatCannotBeRenderedSaysSo()
    {
        const HelperFault crashing("crash", 1, "render");
        QVERIFY(driver->open(TestPaths::samplePath()));
        QTRY_VERIFY(app->pdf->hasImage());
        driver->clickRow(1);
        QTRY_VERIFY(app->pdf->renderFailed());
        QVERIFY(!app->pdf->hasImage());
        // The next page renders again, from a fresh helper.
        driver->clickRow(2);
        QTRY_VERIFY(app->pdf->hasImage());
        QVERIFY(!app->pdf->renderFailed());
    }

    void readsUseTheKeptLayers()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(app->textLayers.size(), app->document->pageCount());
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        // No page's text can be taken any more; the read needs none.
        const HelperFault crashing("crash", -1, "text");
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        QVERIFY2(!app->status->text().startsWith(QStringLiteral("Read failed")), qPrintable(app->status->text()));
        const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
        for (const Fixtures::SampleSheet& sheet : sheets) {
            if (sheet.group != 0 || sheet.imageOnly || sheet.titleBlockElsewhere)
                continue;
            QCOMPARE(app->rows[sheet.page].value("number").toString(), sheet.number);
            QCOMPARE(app->rows[sheet.page].value("title").toString(), sheet.title);
        }
    }
};

QTEST_MAIN(HelperFaultsTest)
#include "tst_helperfaults.moc"
