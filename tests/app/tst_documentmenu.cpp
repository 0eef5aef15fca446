// The menus beyond quitting and editing: "About Planfolio" names the version
// that CMakeLists.txt states, and the Document menu's items stand for the
// open, read and export buttons: the same titles and enabled states at every
// moment, shortcuts shown beside them, and pressing a shortcut does exactly
// what clicking the button would do (nothing while a task runs).

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QMenuBar>

class DocumentMenuTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;

    QMenu* menu(const QString& title) const { return findMenu(*app, title); }
    // The Document menu's items as a user sees them when opening it:
    // "title|shortcut|on" or "…|off".
    QStringList documentItems() const
    {
        QMenu* document = menu("Document");
        Q_EMIT document->aboutToShow();
        QStringList items;
        for (QAction* action : document->actions())
            items << action->text() + "|" + action->shortcut().toString() + "|" +
                         (action->isEnabled() ? "on" : "off");
        return items;
    }
    void press(const QKeySequence& key) { QTest::keySequence(app->window.get(), key); }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
    }
    void cleanup() { driver.reset(); }

    void aboutNamesTheVersion()
    {
        const QString version = TestPaths::projectVersion();
        QVERIFY(!version.isEmpty());
        QAction* about = nullptr;
        for (QAction* action : menu("Planfolio")->actions()) {
            if (action->text() == "About Planfolio")
                about = action;
        }
        QVERIFY(about);
        // Offered whatever the state, also while a task runs.
        const auto token = app->begin("Testing\u2026");
        QVERIFY(about->isEnabled());
        about->trigger();
        QCOMPARE(driver->toolkit->count("alert"), 1);
        QCOMPARE(driver->toolkit->alerts[0].message, QString("Planfolio"));
        QVERIFY2(driver->toolkit->alerts[0].informative.startsWith("Version " + version + "\n"),
                 qPrintable(driver->toolkit->alerts[0].informative));
        app->finish("done");
    }

    void itemsFollowTheButtons()
    {
        const QString open = QKeySequence(QKeySequence::Open).toString();
        QCOMPARE(documentItems(),
                 QStringList({"Open PDF|" + open + "|on", "Read group|Ctrl+R|off", "Read all groups|Ctrl+Shift+R|off",
                              "Export reviewed pages|Ctrl+E|off"}));
        QVERIFY(driver->open(TestPaths::samplePath()));
        QCOMPARE(documentItems(),
                 QStringList({"Open PDF|" + open + "|on", "Read group|Ctrl+R|on", "Read all groups|Ctrl+Shift+R|on",
                              "Export reviewed pages|Ctrl+E|on"}));
        AppDriver::clickSegment(app->scope, 1);
        QCOMPARE(documentItems().value(1), QString("Read this page|Ctrl+R|on"));

        // While a task runs every item is off, without the menu being opened,
        // so that no shortcut gets through.
        const int alerts = driver->toolkit->count("alert");
        const auto token = app->begin("Testing\u2026");
        for (QAction* action : menu("Document")->actions())
            QVERIFY(!action->isEnabled());
        press(QKeySequence::Open);
        press(QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(driver->toolkit->count("chooseOpenPdf"), 1);
        QCOMPARE(driver->toolkit->count("alert"), alerts);
        app->finish("done");
        QVERIFY(menu("Document")->actions().value(2)->isEnabled());
    }

    void shortcutsRunTheSteps()
    {
        // Open: the open panel, then the open flow.
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        press(QKeySequence::Open);
        QCOMPARE(driver->toolkit->count("chooseOpenPdf"), 1);
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows.size(), 12);

        // Read: the group's pages are read with the dragged regions.
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        press(QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows[0].value("number").toString(), Fixtures::sampleSheets().first().number);

        // Export: its own checks answer, here about the names still missing
        // in the second group.
        const int alerts = driver->toolkit->count("alert");
        press(QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(driver->toolkit->count("alert"), alerts + 1);
        QVERIFY(driver->toolkit->alerts.last().message.endsWith(
            "Read every group in the table before exporting."));
        QCOMPARE(driver->toolkit->count("chooseFolder"), 0);
        QVERIFY(!app->busy());
    }
};

QTEST_MAIN(DocumentMenuTest)
#include "tst_documentmenu.moc"
