// The export flow: the filename and confirmation refusals before any folder
// is asked for, a cancelled chooser, cancellation during the export and
// before it starts (no folder left behind), a half-typed edit checked with
// the rest, and a success that opens the new folder.

#include "AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>

class ExportFlowTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QList<Fixtures::SampleSheet> sheets;

    // Every row named with its true sheet name, as after a careful review.
    void nameEveryRow()
    {
        for (const auto& sheet : sheets) {
            app->rows[sheet.page].insert("number", sheet.number);
            app->rows[sheet.page].insert("title", sheet.title);
            app->rows[sheet.page].insert("state", ReviewState::edited);
        }
        app->reloadTable();
    }
    void exportNow() { QTest::mouseClick(app->exportButton, Qt::LeftButton); }
    static QStringList entries(const QString& path)
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        sheets = Fixtures::sampleSheets();
        driver->toolkit->alerts.clear();
        driver->toolkit->calls.clear();
    }
    void cleanup() { driver.reset(); }

    void refusals()
    {
        // Right after opening: every name is empty.
        app->reviewed->setChecked(true);
        exportNow();
        QCOMPARE(driver->toolkit->calls, QStringList{"alert"});
        QCOMPARE(
            driver->toolkit->alerts.last().message,
            QString("Every page needs a number and title. Read every group in the table before exporting."));

        // Numbers differing only in case.
        nameEveryRow();
        app->rows[1].insert("number", sheets[0].number.toLower());
        app->reviewed->setChecked(false);
        exportNow();
        QCOMPARE(
            driver->toolkit->alerts.last().message,
            QString("Duplicate numbers or filenames. Edit them before exporting. Read every group in the "
                    "table before exporting."));

        // Valid names, no confirmation.
        app->rows[1].insert("number", sheets[1].number);
        exportNow();
        QCOMPARE(driver->toolkit->alerts.last().message,
                 QString("Inspect every name against its source, then tick the review confirmation."));
        QCOMPARE(driver->toolkit->count("chooseFolder"), 0);
        QVERIFY(!app->busy());
    }

    void halfTypedEditIsChecked()
    {
        nameEveryRow();
        app->reviewed->setChecked(true);
        QVERIFY(driver->typeInto(5, "number", sheets[0].number));
        exportNow();
        QCOMPARE(app->rows[5].value("number").toString(), sheets[0].number);
        QVERIFY(!app->reviewed->isChecked()); // the edit unticked it
        QCOMPARE(
            driver->toolkit->alerts.last().message,
            QString("Duplicate numbers or filenames. Edit them before exporting. Read every group in the "
                    "table before exporting."));
        QCOMPARE(driver->toolkit->count("chooseFolder"), 0);
    }

    void chooserCancelled()
    {
        nameEveryRow();
        app->reviewed->setChecked(true);
        const QString status = app->status->text();
        exportNow(); // no answer scripted: cancelled
        QCOMPARE(driver->toolkit->calls, QStringList{"chooseFolder"});
        QCOMPARE(driver->toolkit->folderConfirmTitles, QStringList{"Choose parent folder"});
        QVERIFY(!app->busy());
        QCOMPARE(app->status->text(), status);
        QVERIFY(app->reviewed->isChecked());
    }

    void cancelDuringTheExport()
    {
        nameEveryRow();
        app->reviewed->setChecked(true);
        QTemporaryDir parent;
        driver->toolkit->folderAnswers.append(parent.path());
        WorkerGate gate(*app, "Exporting", 3);
        exportNow();
        QVERIFY(gate.reached());
        QCOMPARE(entries(parent.path()).size(), 1); // the folder is being filled
        QTest::mouseClick(app->cancelButton, Qt::LeftButton);
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Export cancelled; incomplete output removed."));
        QVERIFY(entries(parent.path()).isEmpty());
        QCOMPARE(driver->toolkit->count("openInFileManager"), 0);
        // Nothing else changed.
        QVERIFY(app->reviewed->isChecked());
        QCOMPARE(app->rows[0].value("number").toString(), sheets[0].number);
    }

    void cancelBeforeTheWorkerStarts()
    {
        nameEveryRow();
        app->reviewed->setChecked(true);
        QTemporaryDir parent;
        driver->toolkit->folderAnswers.append(parent.path());
        // A job ahead in the queue keeps the export from starting.
        QSemaphore hold;
        QSemaphore started;
        app->submit([&] {
            started.release();
            hold.tryAcquire(1, 60000);
        });
        QVERIFY(started.tryAcquire(1, 60000));
        exportNow();
        QVERIFY(app->busy());
        app->cancelWork();
        hold.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Export cancelled; incomplete output removed."));
        QVERIFY(entries(parent.path()).isEmpty());
    }

    void successOpensTheFolder()
    {
        nameEveryRow();
        app->reviewed->setChecked(true);
        QTemporaryDir parent;
        driver->toolkit->folderAnswers.append(parent.path());
        QStringList progress;
        std::mutex lock;
        app->reportObserver = [&](int done, int total, const QString& label) {
            std::lock_guard guard(lock);
            progress.append(QString("%1 %2/%3").arg(label).arg(done).arg(total));
        };
        exportNow();
        QCOMPARE(app->status->text(), QString("Exporting\u2026"));
        QVERIFY(driver->waitIdle());
        app->reportObserver = nullptr;
        QCOMPARE(app->status->text(), QString("Exported 12 pages. Source untouched."));
        QCOMPARE(progress.last(), QString("Exporting 12/12"));
        const QStringList made = entries(parent.path());
        QCOMPARE(made.size(), 1);
        QCOMPARE(driver->toolkit->openedFolders, QStringList{QDir(parent.path()).filePath(made[0])});
        QCOMPARE(entries(driver->toolkit->openedFolders[0]).size(), 13);
        QVERIFY(app->reviewed->isChecked());
    }

    void failureText()
    {
        // A parent folder that does not exist: the file system's error.
        nameEveryRow();
        app->reviewed->setChecked(true);
        QTemporaryDir parent;
        driver->toolkit->folderAnswers.append(parent.filePath("gone"));
        exportNow();
        QVERIFY(driver->waitIdle());
        QVERIFY(app->status->text().startsWith("Export failed: "));
        QVERIFY(app->status->text().size() > QString("Export failed: ").size());
        QCOMPARE(driver->toolkit->count("openInFileManager"), 0);
    }
};

QTEST_MAIN(ExportFlowTest)
#include "tst_exportflow.moc"
