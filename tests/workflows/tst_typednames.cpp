// Names typed by hand are the one piece of a review the application cannot
// give back: opening another PDF or closing the window with such names
// unwritten asks first, Cancel keeps everything, Discard goes on; a read or
// a region change that replaces the names, and an export that wrote them,
// leave nothing to ask about.

#include "AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QLabel>

namespace {
const QString question =
    QStringLiteral("Discard the names typed for drawing-set.pdf? They are not saved anywhere.");
}

class TypedNamesTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    int scanned = -1;

    int textPageOfGroup0() const
    {
        for (const auto& sheet : Fixtures::sampleSheets()) {
            if (sheet.group == 0 && !sheet.imageOnly && !sheet.titleBlockElsewhere)
                return sheet.page;
        }
        return -1;
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        for (const auto& sheet : Fixtures::sampleSheets()) {
            if (sheet.imageOnly)
                scanned = sheet.page;
        }
        QVERIFY(scanned >= 0);
        QVERIFY(driver->open(TestPaths::samplePath()));
        driver->toolkit->calls.clear();
    }
    void cleanup() { driver.reset(); }

    void openingAgainAsksAndCancelKeepsTheNames()
    {
        QVERIFY(driver->enter(scanned, "number", "S-900"));
        QVERIFY(driver->enter(scanned, "title", "SCANNED SITE PHOTO"));
        const QString statusBefore = app->status->text();

        driver->toolkit->confirmAnswers = {false};
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(driver->toolkit->count("confirm"), 1);
        const ScriptedToolkit::Question asked = driver->toolkit->questions.last();
        QCOMPARE(asked.message, question);
        QCOMPARE(asked.confirmButton, QStringLiteral("Discard"));
        QCOMPARE(asked.cancelButton, QStringLiteral("Cancel"));
        // Nothing was opened: the names, their state and the status stay.
        QCOMPARE(app->rows[scanned].value("number").toString(), QStringLiteral("S-900"));
        QCOMPARE(app->rows[scanned].value("title").toString(), QStringLiteral("SCANNED SITE PHOTO"));
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::edited);
        QCOMPARE(app->status->text(), statusBefore);

        // Asked again, Discard opens the file afresh, and then there is
        // nothing left to ask about.
        driver->toolkit->confirmAnswers = {true};
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(driver->toolkit->count("confirm"), 2);
        QCOMPARE(app->rows[scanned].value("number").toString(), QString());
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::noText);
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(driver->toolkit->count("confirm"), 2);
    }

    void droppingAFileAsksToo()
    {
        QVERIFY(driver->enter(scanned, "number", "S-900"));
        driver->toolkit->confirmAnswers = {false};
        app->openDropped({QUrl::fromLocalFile(TestPaths::samplePath())});
        QCOMPARE(driver->toolkit->count("confirm"), 1);
        QVERIFY(!app->busy());
        QCOMPARE(app->rows[scanned].value("number").toString(), QStringLiteral("S-900"));
    }

    void closingAsksAndCancelKeepsTheWindow()
    {
        QVERIFY(driver->enter(scanned, "title", "SCANNED SITE PHOTO"));
        driver->toolkit->confirmAnswers = {false};
        QVERIFY(!app->window->close());
        QVERIFY(app->window->isVisible());
        QCOMPARE(driver->toolkit->questions.last().message, question);
        QCOMPARE(driver->toolkit->terminations, 0);
        QCOMPARE(app->rows[scanned].value("title").toString(), QStringLiteral("SCANNED SITE PHOTO"));

        // Quitting is the same loss, and asks the same.
        driver->toolkit->confirmAnswers = {false};
        app->quit();
        QCOMPARE(driver->toolkit->count("confirm"), 2);
        QCOMPARE(driver->toolkit->terminations, 0);

        // Discard closes, and the application's quit that follows does not
        // ask a second time.
        driver->toolkit->confirmAnswers = {true};
        QVERIFY(app->window->close());
        QCOMPARE(driver->toolkit->count("confirm"), 3);
        QCOMPARE(driver->toolkit->terminations, 1);
    }

    void namesThatAreGoneOrEmptyAskNothing()
    {
        // A name typed for a page with text, then replaced by the regions'
        // change that empties its row.
        const int page = textPageOfGroup0();
        QVERIFY(page >= 0);
        QVERIFY(driver->enter(page, "number", "X-1"));
        driver->clickRow(page);
        driver->dragRegions(Fixtures::sampleNumberRegion(page), Fixtures::sampleTitleRegion(page));
        QCOMPARE(app->rows[page].value("number").toString(), QString());
        // A name typed and emptied again.
        QVERIFY(driver->enter(scanned, "number", "S-900"));
        QVERIFY(driver->enter(scanned, "number", ""));
        QVERIFY(driver->open(TestPaths::samplePath()));
        QVERIFY(app->window->close());
        QCOMPARE(driver->toolkit->count("confirm"), 0);
    }

    void aReadReplacesTypedNames()
    {
        const int page = textPageOfGroup0();
        driver->dragRegions(Fixtures::sampleNumberRegion(page), Fixtures::sampleTitleRegion(page));
        QVERIFY(driver->enter(page, "title", "MY OWN TITLE"));
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        QVERIFY(app->rows[page].value("title").toString() != QStringLiteral("MY OWN TITLE"));
        QVERIFY(app->mayDiscardTypedNames());
        QCOMPARE(driver->toolkit->count("confirm"), 0);
    }

    void closeWhileBusySaysWhenTheWindowCanClose()
    {
        QVERIFY(driver->enter(scanned, "number", "S-900"));
        WorkerGate gate(*app, "Checking text", 3);
        driver->toolkit->confirmAnswers = {true};
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        QVERIFY(gate.reached());
        // The close request cancels the open instead of closing.
        QVERIFY(!app->window->close());
        QVERIFY(app->window->isVisible());
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(),
                 QStringLiteral("Open cancelled. Previous document retained. The window can be closed now."));
        // The next task's end says nothing of closing.
        driver->toolkit->confirmAnswers = {true};
        QVERIFY(driver->open(TestPaths::samplePath()));
        QVERIFY(!app->status->text().contains(QStringLiteral("closed now")));
    }
};

QTEST_MAIN(TypedNamesTest)
#include "tst_typednames.moc"
