// The task runner: the busy state and its controls, progress from the
// worker to the bar and the status line, cancelling, quitting and closing
// while a task runs, and the privacy notice, which stays usable meanwhile.

#include "App.h"
#include "MainWindow.h"
#include "MonoProgress.h"
#include "LaunchedApp.h"
#include "SegmentedControl.h"
#include "SerialWorker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <atomic>

namespace {

const QString cancellingText =
    QStringLiteral("Cancelling after the current PDF operation; incomplete output will be removed.");
const QString quitCancellingText = QStringLiteral("Cancelling and cleaning up. Quit again when the task stops.");

QList<QWidget*> inputs(const App& app)
{
    return {app.openButton,  app.groupPicker,   app.exportButton, app.scope,        app.mode, app.readButton,
            app.resetButton, app.inspectButton, app.checkButton,  app.reviewed,     app.table};
}

// The bar's pixels across its middle row: true where black.
QList<bool> barRow(MonoProgress* bar)
{
    const QImage image = bar->grab().toImage();
    QList<bool> black;
    const int y = image.height() / 2;
    for (int x = 0; x < image.width(); ++x)
        black << (qGray(image.pixel(x, y)) < 64);
    return black;
}

} // namespace

class TaskRunnerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<App> app;
    ScriptedToolkit* toolkit = nullptr;

private Q_SLOTS:
    void init()
    {
        app = launchApp(&toolkit);
        // Rows make the export button part of the picture.
        app->rows = {makeRow(0, ReviewState::needsRegions), makeRow(1, ReviewState::needsRegions)};
        app->refreshControls();
    }
    void cleanup() { app.reset(); }

    void beginMakesTheApplicationBusy()
    {
        app->progress->setProgressValue(100);
        const std::shared_ptr<WorkCancellation> token = app->begin("Exporting\u2026");
        QVERIFY(token);
        QCOMPARE(app->token, token);
        QVERIFY(app->busy());
        QVERIFY(!token->isCancelled());
        QCOMPARE(app->status->text(), QString("Exporting\u2026"));
        QCOMPARE(app->progress->progressValue(), 0.0);
        for (QWidget* input : inputs(*app))
            QVERIFY2(!input->isEnabled(), qPrintable(input->metaObject()->className()));
        QVERIFY(!app->pdf->acceptsRegions());
        QVERIFY(app->cancelButton->isEnabled());
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));

        app->finish("Done.");
        QVERIFY(!app->busy());
        QVERIFY(!app->token);
        QCOMPARE(app->status->text(), QString("Done."));
        QVERIFY(!app->cancelButton->isEnabled());
        QVERIFY(app->openButton->isEnabled());
        QVERIFY(app->exportButton->isEnabled());
        QVERIFY(app->pdf->acceptsRegions());
        // Every task gets a fresh token.
        QVERIFY(app->begin("Again") != token);
    }

    void progressFromTheWorker()
    {
        app->begin("Exporting\u2026");
        QThread* reportedOn = nullptr;
        app->submit([this, &reportedOn] {
            reportedOn = QThread::currentThread();
            app->report(3, 4, "Exporting");
        });
        QTRY_COMPARE(app->status->text(), QString("Exporting 3/4"));
        QVERIFY(reportedOn && reportedOn != QThread::currentThread());
        QCOMPARE(app->progress->progressValue(), 75.0);

        // Black fills the outline's inner width up to 75 %, from the left.
        const QList<bool> black = barRow(app->progress);
        QCOMPARE(black.size(), 380);
        const double inner = 379; // the outline rectangle, inset half a point
        const int edge = int(0.5 + inner * 0.75);
        QVERIFY(black.first());
        QVERIFY(black.last());
        QVERIFY(black[5]);
        QVERIFY(black[edge - 2]);
        QVERIFY(!black[edge + 2]);
        QVERIFY(!black[378 - 1]);
        // No anti-aliased grey, no colour: black and white only.
        const QImage image = app->progress->grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                QVERIFY(pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 255));
            }
        }

        // After the task the bar is empty again (its outline alone), and so
        // is the next task's at its start.
        app->finish("Exported 4 pages. Source untouched.");
        QCOMPARE(app->progress->progressValue(), 0.0);
        const QList<bool> idle = barRow(app->progress);
        QVERIFY(idle.first() && idle.last());
        for (int x = 2; x < idle.size() - 2; ++x)
            QVERIFY(!idle[x]);
        app->begin("Reading selected pages\u2026");
        QCOMPARE(app->progress->progressValue(), 0.0);
    }

    void zeroTotalShowsAnEmptyBar()
    {
        app->begin("Reading selected pages\u2026");
        app->report(0, 0, "Reading");
        QTRY_COMPARE(app->status->text(), QString("Reading 0/0"));
        QCOMPARE(app->progress->progressValue(), 0.0);
        const QList<bool> black = barRow(app->progress);
        QVERIFY(black.first() && black.last()); // the outline
        for (int x = 2; x < black.size() - 2; ++x)
            QVERIFY(!black[x]);

        app->report(12, 120, "Grouping");
        QTRY_COMPARE(app->status->text(), QString("Grouping 12/120"));
        QCOMPARE(app->progress->progressValue(), 10.0);
        // A value beyond the range draws a full bar.
        app->progress->setProgressValue(250);
        const QList<bool> full = barRow(app->progress);
        for (int x = 0; x < full.size(); ++x)
            QVERIFY(full[x]);
    }

    // Pages finishing faster than the main thread takes their reports (or
    // a main thread that was busy) cost it one update showing the latest,
    // not one update per page.
    void aBurstOfReportsIsOneUpdate()
    {
        app->begin("Loading and grouping PDF\u2026");
        QSignalSpy changes(app->progress, &QProgressBar::valueChanged);
        std::atomic<bool> done = false;
        app->submit([this, &done] {
            for (int page = 1; page <= 500; ++page)
                app->report(page, 500, "Scanning text");
            done = true;
        });
        // The main thread takes no events until the worker is through.
        while (!done)
            QThread::msleep(1);
        QCoreApplication::processEvents();
        QCOMPARE(app->status->text(), QString("Scanning text 500/500"));
        QCOMPARE(app->progress->progressValue(), 100.0);
        QCOMPARE(changes.size(), 1);
    }

    void reportsAfterFinishAreDropped()
    {
        app->begin("Reading selected pages\u2026");
        app->report(1, 2, "Reading"); // posted, not yet delivered
        app->finish("Read cancelled. Previous results retained.");
        QCoreApplication::processEvents();
        QCOMPARE(app->status->text(), QString("Read cancelled. Previous results retained."));
        QCOMPARE(app->progress->progressValue(), 0.0);

        // Nor does a late update of one task reach the next one.
        app->report(2, 2, "Reading");
        app->begin("Exporting\u2026");
        QCoreApplication::processEvents();
        QCOMPARE(app->status->text(), QString("Exporting\u2026"));
        QCOMPARE(app->progress->progressValue(), 0.0);
    }

    void workerRunsOneJobAtATimeInOrder()
    {
        QList<int> order;
        std::atomic<int> running = 0;
        std::atomic<int> overlaps = 0;
        std::atomic<int> done = 0;
        QThread* thread = nullptr;
        for (int i = 0; i < 5; ++i) {
            app->submit([&, i] {
                if (running.fetch_add(1) > 0)
                    ++overlaps;
                order << i;
                thread = QThread::currentThread();
                running.fetch_sub(1);
                ++done;
            });
        }
        QTRY_COMPARE(done.load(), 5);
        QCOMPARE(order, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(overlaps.load(), 0);
        QCOMPARE(thread, app->worker->thread());
        QVERIFY(thread != QThread::currentThread());
    }

    void cancelStopsTheTaskAtTheNextCheck()
    {
        // The test cancels exactly when the second page has been reported.
        app->reportObserver = [this](int done, int, const QString&) {
            if (done == 2)
                QMetaObject::invokeMethod(app.get(), &App::cancelWork, Qt::BlockingQueuedConnection);
        };
        const std::shared_ptr<WorkCancellation> token = app->begin("Exporting\u2026");
        std::atomic<int> pagesDone = 0;
        app->submit([this, token, &pagesDone] {
            try {
                for (int page = 1; page <= 5; ++page) {
                    token->check();
                    ++pagesDone;
                    app->report(page, 5, "Exporting");
                }
                app->deliver([this] { app->finish("Exported 5 pages. Source untouched."); });
            } catch (const CancellationError&) {
                app->deliver([this] { app->finish("Export cancelled; incomplete output removed."); });
            }
        });
        QTRY_VERIFY(!app->busy());
        QCOMPARE(pagesDone.load(), 2);
        QVERIFY(token->isCancelled());
        QCOMPARE(app->status->text(), QString("Export cancelled; incomplete output removed."));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
        QVERIFY(!app->cancelButton->isEnabled());
        // The task has ended: the bar is empty again.
        QCOMPARE(app->progress->progressValue(), 0.0);
    }

    void cancellingRelabelsUntilTheTaskEnds()
    {
        const std::shared_ptr<WorkCancellation> token = app->begin("Exporting\u2026");
        QTest::mouseClick(app->cancelButton, Qt::LeftButton);
        QVERIFY(token->isCancelled());
        QVERIFY(app->busy()); // until the task itself finishes
        QVERIFY(!app->cancelButton->isEnabled());
        QCOMPARE(app->cancelButton->text(), QString("Cancelling\u2026"));
        QCOMPARE(app->status->text(), cancellingText);
        for (QWidget* input : inputs(*app))
            QVERIFY(!input->isEnabled());
        QVERIFY(!app->pdf->acceptsRegions());

        // The page in progress may still report: the status keeps saying
        // that the task is being cancelled.
        app->report(3, 4, "Exporting");
        QTRY_COMPARE(app->progress->progressValue(), 75.0);
        QCOMPARE(app->status->text(), cancellingText);

        // A second cancel is harmless.
        app->cancelWork();
        QCOMPARE(app->status->text(), cancellingText);
        QCOMPARE(app->cancelButton->text(), QString("Cancelling\u2026"));

        app->finish("Export cancelled; incomplete output removed.");
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
        QVERIFY(!app->cancelButton->isEnabled());
        QVERIFY(app->openButton->isEnabled());

        // Without a task there is nothing to cancel.
        app->cancelWork();
        QCOMPARE(app->status->text(), QString("Export cancelled; incomplete output removed."));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
    }

    void quitWhileBusyCancelsInstead()
    {
        const std::shared_ptr<WorkCancellation> token = app->begin("Loading and grouping PDF\u2026");
        app->quit();
        QCOMPARE(toolkit->terminations, 0);
        QVERIFY(token->isCancelled());
        QCOMPARE(app->status->text(), quitCancellingText);
        QCOMPARE(app->cancelButton->text(), QString("Cancelling\u2026"));
        QVERIFY(!app->cancelButton->isEnabled());
        QVERIFY(app->window->isVisible());
        // Asking again cancels again; still no exit.
        app->quit();
        QCOMPARE(toolkit->terminations, 0);
        // So does a quit request from the desktop.
        app->status->clear();
        QEvent desktopQuit(QEvent::Quit);
        QVERIFY(QCoreApplication::sendEvent(QCoreApplication::instance(), &desktopQuit));
        QCOMPARE(app->status->text(), quitCancellingText);
        QVERIFY(app->window->isVisible());

        app->finish("Open cancelled. Previous document retained.");
        app->quit();
        QCOMPARE(toolkit->terminations, 1);
        QCOMPARE(toolkit->count("alert"), 0);
    }

    void closeWhileBusyKeepsTheWindow()
    {
        QVERIFY(app->applicationShouldTerminateAfterLastWindowClosed());
        const std::shared_ptr<WorkCancellation> token = app->begin("Reading selected pages\u2026");
        QVERIFY(!app->applicationShouldTerminateAfterLastWindowClosed());
        QVERIFY(!app->window->close());
        QVERIFY(app->window->isVisible());
        QVERIFY(token->isCancelled());
        QCOMPARE(app->status->text(), cancellingText);
        QCOMPARE(toolkit->terminations, 0);

        app->finish("Read cancelled. Previous results retained.");
        QVERIFY(app->window->close());
        QVERIFY(!app->window->isVisible());
        QCOMPARE(toolkit->terminations, 1);
    }

    void beginCommitsAHalfTypedEditAndClosesThePanel()
    {
        auto* model = new QStandardItemModel(1, 4, app->table);
        model->setItem(0, 1, new QStandardItem("A-100"));
        app->installTableModel(model);
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        app->table->edit(model->index(0, 1));
        QLineEdit* editor = nullptr;
        QTRY_VERIFY((editor = app->table->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
        editor->setText("A-101");

        // The hook alone stores what was typed and closes the editor.
        app->commitPendingEdit();
        QCOMPARE(model->item(0, 1)->text(), QString("A-101"));
        QTRY_VERIFY(!app->table->viewport()->findChild<QLineEdit*>() ||
                    !app->table->viewport()->findChild<QLineEdit*>()->isVisible());

        // And begin does it before the task starts.
        app->table->edit(model->index(0, 1));
        QTRY_VERIFY((editor = app->table->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
        editor->setText("A-102");

        auto* panel = new QWidget(app->window.get(), Qt::Tool);
        panel->show();
        app->reviewPanel = panel;
        const QPointer<QWidget> watched = panel;

        app->begin("Reading selected pages\u2026");
        QCOMPARE(model->item(0, 1)->text(), QString("A-102"));
        QVERIFY(!app->reviewPanel);
        QVERIFY(!panel->isVisible());
        QTRY_VERIFY(!watched);
    }

    void privacyNoticeWhileATaskRuns()
    {
        const std::shared_ptr<WorkCancellation> token = app->begin("Exporting\u2026");
        bool busyMeanwhile = false;
        toolkit->onAlert = [&](const ScriptedToolkit::Alert&) { busyMeanwhile = app->busy(); };
        auto* privacy = app->window->findChild<QPushButton*>("privacyButton");
        QVERIFY(privacy->isEnabled());
        QTest::mouseClick(privacy, Qt::LeftButton);

        QCOMPARE(toolkit->alerts.size(), 1);
        const ScriptedToolkit::Alert notice = toolkit->alerts.first();
        QCOMPARE(notice.message, QString("Your drawings stay on your computer"));
        QCOMPARE(notice.button, QString("Done"));
        const QStringList paragraphs = notice.informative.split("\n\n");
        QCOMPARE(paragraphs.size(), 4);
        QVERIFY(paragraphs[0].contains("on this computer"));
        QVERIFY(paragraphs[0].contains("no usage analytics"));
        QVERIFY(paragraphs[1].contains("register.csv"));
        QVERIFY(paragraphs[1].contains("never changed"));
        QVERIFY(paragraphs[2].contains("neither encrypted nor redacted"));
        QVERIFY(paragraphs[3].contains("synthetic or redacted example"));

        // The task carried on, untouched.
        QVERIFY(busyMeanwhile);
        QVERIFY(app->busy());
        QVERIFY(!token->isCancelled());
        QCOMPARE(app->status->text(), QString("Exporting\u2026"));
        QVERIFY(app->cancelButton->isEnabled());
    }
};

QTEST_MAIN(TaskRunnerTest)
#include "tst_taskrunner.moc"
