// Launching the application: the window, its controls and menus as a user
// first sees them, the quit keys, the light look, the ignored command line
// the reopen rule, and the message a start that cannot reach a display
// leaves.

#include "App.h"
#include "Launch.h"
#include "MainWindow.h"
#include "MonoProgress.h"
#include "LaunchedApp.h"
#include "SegmentedControl.h"
#include "TestPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QtTest>

namespace {

QAction* findAction(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}

} // namespace

class LaunchTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<App> app;
    ScriptedToolkit* toolkit = nullptr;

private Q_SLOTS:
    void init()
    {
        app = launchApp(&toolkit);
    }
    void cleanup() { app.reset(); }

    void windowAfterLaunch()
    {
        MainWindow* window = app->window.get();
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Planfolio"));
        QCOMPARE(window->minimumSize(), QSize(1180, 780));
        QCOMPARE(window->size(), QSize(1180, 820));
        QCOMPARE(app->status->text(), QString("Open a text PDF. Documents stay on this computer."));
        QCOMPARE(app->pageNotice->text(), QString());

        QCOMPARE(app->openButton->text(), QString("Open PDF"));
        QCOMPARE(app->readButton->text(), QString("Read group"));
        QCOMPARE(app->exportButton->text(), QString("Export reviewed pages"));
        QCOMPARE(app->inspectButton->text(), QString("Inspect regions"));
        QCOMPARE(app->checkButton->text(), QString("Document check"));
        QCOMPARE(app->resetButton->text(), QString("Use group regions"));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
        QCOMPARE(app->reviewed->text(), QString("I checked every number and title against the source PDF"));
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(app->groupPicker->count(), 0);

        QCOMPARE(app->mode->label(0), QString("Number region"));
        QCOMPARE(app->mode->label(1), QString("Title region"));
        QCOMPARE(app->scope->label(0), QString("Apply to group"));
        QCOMPARE(app->scope->label(1), QString("This page only"));
        QCOMPARE(app->mode->selectedSegment(), 0);
        QCOMPARE(app->scope->selectedSegment(), 0);

        QCOMPARE(app->progress->minimum(), 0);
        QCOMPARE(app->progress->maximum(), 100);
        QCOMPARE(app->progress->progressValue(), 0.0);
        QCOMPARE(app->progress->width(), 380);

        auto* privacy = window->findChild<QPushButton*>("privacyButton");
        QVERIFY(privacy);
        QCOMPARE(privacy->text().replace("&&", "&"), QString("Privacy & data"));
        QStringList labels;
        for (QLabel* label : window->findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains("Drawing sets, organized."));
        QVERIFY(labels.contains("1 Open PDF \u00B7 2 Set regions for each group \u00B7 3 Check individual pages "
                                "\u00B7 4 Export"));
        QVERIFY(labels.contains("Your drawings stay on this computer. No document uploads or cloud processing."));
        QVERIFY(labels.contains("Text PDFs \u00B7 up to 100 MB / 500 pages \u00B7 no OCR \u00B7 inspect all names; "
                                "matching page size does not guarantee matching title-block position."));

        // Nothing is loaded, nothing runs.
        QVERIFY(!app->busy());
        QVERIFY(!app->document);
        QVERIFY(!app->sourceData);
        QVERIFY(app->rows.isEmpty());
        QVERIFY(app->groups.isEmpty());
        QCOMPARE(app->activePage, 0);
        QCOMPARE(app->activeGroup, 0);
        QVERIFY(app->pdf->selected);
        QVERIFY(toolkit->calls.isEmpty());
    }

    void reviewTableColumns()
    {
        QTableView* table = app->table;
        QAbstractItemModel* model = table->model();
        QVERIFY(model);
        const QStringList headers = {"Page", "Number", "Title", "Review"};
        const QList<int> widths = {42, 90, 175, 130};
        QCOMPARE(model->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), headers[i]);
            QCOMPARE(App::tableColumns()[i].width, widths[i]);
            // Title takes the table's spare width, Review widens where the
            // font needs it; neither is ever narrower than its width.
            if (i < 2)
                QCOMPARE(table->horizontalHeader()->sectionSize(i), widths[i]);
            else
                QVERIFY(table->horizontalHeader()->sectionSize(i) >= widths[i]);
            QCOMPARE(App::tableColumns()[i].header, headers[i]);
        }
        QCOMPARE(App::tableColumns()[0].identifier, QString("page"));
        QCOMPARE(App::tableColumns()[3].identifier, QString("state"));
        QCOMPARE(table->verticalHeader()->defaultSectionSize(), 30);
        QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    }

    void controlsEnabledAtLaunch()
    {
        QCOMPARE(enabledControls(*app), QStringList({"openButton", "reviewed", "table", "regions"}));
        QVERIFY(!app->cancelButton->isEnabled());
        QCOMPARE(app->reviewed->palette().color(QPalette::Highlight), QColor(Qt::black));
    }

    void menusAndKeys()
    {
        QMenuBar* bar = app->window->menuBar();
        const QList<QAction*> top = bar->actions();
        QCOMPARE(top.size(), 5);
        QCOMPARE(top[0]->text(), QString("Planfolio"));
        QCOMPARE(top[1]->text(), QString("Document"));
        QCOMPARE(top[2]->text(), QString("Edit"));
        // The page view's zoom commands (tst_pagezoom).
        QCOMPARE(top[3]->text(), QString("View"));
        QCOMPARE(top[4]->text(), QString("Regions"));

        QMenu* appMenu = top[0]->menu();
        QCOMPARE(appMenu->actions().size(), 3);
        QCOMPARE(appMenu->actions()[0]->text(), QString("About Planfolio"));
        QVERIFY(appMenu->actions()[1]->isSeparator());
        QCOMPARE(appMenu->actions()[2]->text(), QString("Quit Planfolio"));
        const QKeySequence quitKey = QKeySequence(QKeySequence::Quit).isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q)
                                                                                : QKeySequence(QKeySequence::Quit);
        QCOMPARE(appMenu->actions()[2]->shortcut(), quitKey);

        QMenu* edit = top[2]->menu();
        const QStringList titles = {"Copy", "Paste", "Cut", "Select All"};
        const QList<QKeySequence::StandardKey> keys = {QKeySequence::Copy, QKeySequence::Paste, QKeySequence::Cut,
                                                       QKeySequence::SelectAll};
        QCOMPARE(edit->actions().size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(edit->actions()[i]->text(), titles[i]);
            QCOMPARE(edit->actions()[i]->shortcut(), QKeySequence(keys[i]));
        }
    }

    void quitKeyEndsAtOnceWhenIdle()
    {
        app->rows = {makeRow(0, ReviewState::needsRegions)};
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        QTest::keySequence(app->window.get(),
                           findAction(findMenu(*app, "Planfolio"), "Quit Planfolio")->shortcut());
        QCOMPARE(toolkit->terminations, 1);
        QCOMPARE(toolkit->count("alert"), 0);
    }

    void editMenuActsOnFocusedField()
    {
        auto* model = new QStandardItemModel(1, 4, app->table);
        model->setItem(0, 1, new QStandardItem("A-101"));
        app->installTableModel(model);
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        app->table->setFocus();
        app->table->edit(model->index(0, 1));
        QLineEdit* editor = nullptr;
        QTRY_VERIFY((editor = qobject_cast<QLineEdit*>(QApplication::focusWidget())));
        editor->deselect();

        QMenu* edit = findMenu(*app, "Edit");
        findAction(edit, "Select All")->trigger();
        QCOMPARE(editor->selectedText(), QString("A-101"));
        QApplication::clipboard()->clear();
        findAction(edit, "Copy")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("A-101"));
        findAction(edit, "Cut")->trigger();
        QCOMPARE(editor->text(), QString());
        findAction(edit, "Paste")->trigger();
        QCOMPARE(editor->text(), QString("A-101"));
        // The width of the split and the minimum widths of its panes hold.
        QVERIFY(app->pdf->width() >= 480);
        QVERIFY(app->table->width() >= 465);
    }

    void windowSizeLimits()
    {
        MainWindow* window = app->window.get();
        // Everything fits at the minimum size without squeezing.
        QVERIFY(window->centralWidget()->minimumSizeHint().height() + window->menuBar()->sizeHint().height() <= 780);
        window->resize(900, 600);
        QCOMPARE(window->size(), QSize(1180, 780));
        QTRY_VERIFY(app->pdf->width() >= 480);
        QVERIFY(app->table->width() >= 465);
        // The split holds the table and, with the zoom buttons above it,
        // the page view.
        auto* split = qobject_cast<QSplitter*>(app->table->parentWidget());
        QVERIFY(split);
        QVERIFY(split->isAncestorOf(app->pdf));
        QVERIFY(split->height() >= 400);
        const int narrow = split->width();
        QCOMPARE(narrow, window->centralWidget()->width() - 36);
        window->resize(1500, 900);
        QTRY_COMPARE(split->width(), window->centralWidget()->width() - 36);
        QVERIFY(split->width() > narrow);
    }

    void lightLookWhateverTheDesktop()
    {
        app.reset();
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(20, 20, 20));
        QApplication::setPalette(dark);
        init();
        QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
        QVERIFY(app->window->palette().color(QPalette::Window).lightness() > 200);
        QVERIFY(app->window->palette().color(QPalette::Base).lightness() > 240);
        QVERIFY(app->window->palette().color(QPalette::WindowText).lightness() < 40);
        QCOMPARE(app->window->palette().color(QPalette::Highlight), QColor(Qt::black));
    }

    void commandLineIsIgnored()
    {
        char name[] = "planfolio";
        char reverse[] = "-reverse";
        char style[] = "-style";
        char windows[] = "windows";
        char file[] = "/tmp/some.pdf";
        char* argv[] = {name, reverse, style, windows, file, nullptr};
        const std::vector<char*> given = Launch::toolkitArguments(5, argv);
        QCOMPARE(given.size(), size_t(2));
        QCOMPARE(given[0], name);
        QCOMPARE(given[1], nullptr);
        // Without a program name the toolkit still gets one.
        const std::vector<char*> bare = Launch::toolkitArguments(0, nullptr);
        QCOMPARE(bare.size(), size_t(2));
        QVERIFY(bare[0] && QByteArray(bare[0]) == "planfolio");
        // The test's own arguments changed nothing either: the look and the
        // layout direction are the application's.
        QCOMPARE(app->window->layoutDirection(), Qt::LeftToRight);
    }

    void reopenBringsTheWindowBack()
    {
        app->window->hide();
        QVERIFY(app->applicationShouldHandleReopen(false));
        QVERIFY(app->window->isVisible());
        app->window->showMinimized();
        QVERIFY(app->applicationShouldHandleReopen(true));
        QVERIFY(app->window->isVisible());
        QVERIFY(!app->window->isMinimized());
    }

    // Without a display the toolkit cannot start; the application then says
    // why on standard error rather than aborting without a word.
    void failedStartSaysWhy()
    {
        const QString program = TestPaths::binaryDir() + QStringLiteral("/planfolio");
        QVERIFY2(QFileInfo(program).isExecutable(), "build the planfolio target first");
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-display"));
        process.setProcessEnvironment(environment);
        process.start(program, {});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY(process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0);
        const QString said = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("no-such-display")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("failed to start")), qPrintable(said));
    }
};

QTEST_MAIN(LaunchTest)
#include "tst_launch.moc"
