// The menus beyond quitting and editing: "About Planfolio" names the version
// that CMakeLists.txt states, and the Document menu's items stand for the
// open, read and export buttons: the same titles and enabled states at every
// moment, shortcuts shown beside them, and pressing a shortcut does exactly
// what clicking the button would do (nothing while a task runs).

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include "RegionReviewPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>

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
                              "Export reviewed pages|Ctrl+E|off", "Fill names from bookmarks||off"}));
        QVERIFY(driver->open(TestPaths::samplePath()));
        // The sample has no bookmarks: nothing to fill from.
        QCOMPARE(documentItems(),
                 QStringList({"Open PDF|" + open + "|on", "Read group|Ctrl+R|on", "Read all groups|Ctrl+Shift+R|on",
                              "Export reviewed pages|Ctrl+E|on", "Fill names from bookmarks||off"}));
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

    // "Fill names from bookmarks" names the pages without text whose names
    // are empty, as if typed, and never a name already there; the review
    // panel sets the bookmark beside the table's values.
    void fillNamesFromBookmarks()
    {
        Fixtures::Document doc;
        doc.pages = QList<Fixtures::Page>(4);
        doc.pages[0].texts = {{QStringLiteral("A-101"), 400, 40, 12}};
        doc.outline = {{QStringLiteral("Sheets"), 0, 0},
                       {QStringLiteral("A-101 - Site Plan"), 0, 1},
                       {QStringLiteral("A-102 - Roof Plan"), 1, 1},
                       {QStringLiteral("A-103 - Sections"), 2, 1}};
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("bookmarked.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Fixtures::build(doc).bytes);
        file.close();
        QVERIFY(driver->open(file.fileName()));
        QAction* fill = findMenuItem(*app, QStringLiteral("Fill names from bookmarks"));
        QVERIFY(fill && fill->isEnabled());

        app->edited(2, QStringLiteral("title"), QStringLiteral("Typed by hand"));
        fill->trigger();
        QCOMPARE(app->rows[1].value("number").toString(), QStringLiteral("A-102"));
        QCOMPARE(app->rows[1].value("title").toString(), QStringLiteral("Roof Plan"));
        QCOMPARE(app->rows[1].value("state").toString(), ReviewState::edited);
        QCOMPARE(app->rows[2].value("number").toString(), QString());
        QCOMPARE(app->rows[2].value("title").toString(), QStringLiteral("Typed by hand"));
        QCOMPARE(app->rows[3].value("state").toString(), ReviewState::noText);
        // Page 1 has text: its row is the read's to fill.
        QCOMPARE(app->rows[0].value("number").toString(), QString());
        QCOMPARE(app->status->text(), QStringLiteral("Filled 1 name from bookmarks."));
        fill->trigger();
        QCOMPARE(app->status->text(), QStringLiteral("Filled 0 names from bookmarks."));

        QCOMPARE(RegionReviewPanel::bookmarkLine(QStringLiteral("A-101 - Site Plan"), QStringLiteral("A-101"),
                                                 QStringLiteral("SITE PLAN")),
                 QStringLiteral("Bookmark: A-101 - Site Plan (agrees with the table)"));
        QCOMPARE(RegionReviewPanel::bookmarkLine(QStringLiteral("A-101 - Site Plan"), QStringLiteral("A-102"),
                                                 QStringLiteral("Site Plan")),
                 QStringLiteral("Bookmark: A-101 - Site Plan (differs from the table)"));
        QCOMPARE(RegionReviewPanel::bookmarkLine(QString(), QString(), QString()), QString());
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
