// The open flow: refused files (not a PDF, a FIFO, one byte over the size
// limit, a missing file) end with their status texts and leave the previous
// document, its regions and its review exactly as they were; so does a
// cancellation during the text check. A successful open replaces
// everything, resets the controls, keeps its final status, and runs the
// document check only when some page has no text.

#include "AppDriver.h"
#include "Fixtures.h"
#include "PdfDocument.h"
#include "SourceFile.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QLabel>

#include <sys/stat.h>

class OpenFlowTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QTemporaryDir dir;

    // What a refused or cancelled open must leave untouched.
    struct Snapshot
    {
        const PdfDocument* document = nullptr;
        QByteArray source;
        QList<DrawingGroup> groups;
        QMap<int, PageRegions> groupRegions;
        QMap<int, PageRegions> overrides;
        QList<ReviewRow> rows;
        QSet<int> noTextPages;
        int activePage = 0;
        QList<PageOutline> outlines;
        QStringList pickerItems;
    };
    Snapshot snapshot() const
    {
        Snapshot s{app->document.get(),  app->sourceData.value_or(QByteArray()),
                   app->groups,          app->groupRegions,
                   app->overrides,       app->rows,
                   app->noTextPages,     app->activePage,
                   app->pdf->outlines(), {}};
        for (int i = 0; i < app->groupPicker->count(); ++i)
            s.pickerItems.append(app->groupPicker->itemText(i));
        return s;
    }
    bool unchanged(const Snapshot& s) const
    {
        const Snapshot now = snapshot();
        return now.document == s.document && now.source == s.source && now.groups == s.groups &&
               now.groupRegions == s.groupRegions && now.overrides == s.overrides && now.rows == s.rows &&
               now.noTextPages == s.noTextPages && now.activePage == s.activePage &&
               now.outlines == s.outlines && now.pickerItems == s.pickerItems &&
               app->pdf->currentPage() == s.activePage;
    }

    // The sample opened, regions on group 1, an override and a typed name.
    bool openWorkedSample()
    {
        if (!driver->open(TestPaths::samplePath()))
            return false;
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        app->pdf->selected(QRectF(50, 50, 40, 40), 0);
        driver->clickRow(3);
        AppDriver::clickSegment(app->scope, 1);
        app->pdf->selected(QRectF(60, 60, 40, 40), 3);
        return driver->enter(4, "number", "A-102") && app->overrides.contains(3);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
    }
    void cleanup() { driver.reset(); }

    void refusedFilesKeepThePreviousDocument_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not a PDF") << "text"
                                   << "Open failed: This file is not a readable PDF.";
        QTest::newRow("FIFO") << "fifo"
                              << "Open failed: This file is not a readable PDF.";
        QTest::newRow("one byte over") << "over"
                                       << "Open failed: PDFs up to 100 MB are supported.";
        QTest::newRow("at the limit") << "limit"
                                      << "Open failed: This file is not a readable PDF.";
        QTest::newRow("missing") << "missing"
                                 << "Open failed: No such file or directory";
    }
    void refusedFilesKeepThePreviousDocument()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QVERIFY(openWorkedSample());
        const Snapshot before = snapshot();

        QString path = dir.filePath(kind + ".pdf");
        if (kind == "text") {
            QVERIFY(!AppDriver::writeFile(dir, "text.pdf", "Meeting notes, not a drawing.\n").isEmpty());
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "over" || kind == "limit") {
            // Sparse: no disk is used for the zeros.
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(SourceFile::sizeLimit + (kind == "over" ? 1 : 0)));
        }
        QVERIFY(driver->open(path));
        QCOMPARE(app->status->text(), expected);
        QVERIFY(unchanged(before));
        QVERIFY(!app->busy());
        QVERIFY(app->readButton->isEnabled());
    }

    void cancellingDuringTheTextCheck()
    {
        QVERIFY(openWorkedSample());
        const Snapshot before = snapshot();
        WorkerGate gate(*app, "Checking text", 3);
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        QVERIFY(gate.reached());
        QVERIFY(!app->openButton->isEnabled());
        QTest::mouseClick(app->cancelButton, Qt::LeftButton);
        QCOMPARE(app->cancelButton->text(), QString("Cancelling\u2026"));
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Open cancelled. Previous document retained."));
        QVERIFY(unchanged(before));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
    }

    void cancellingAfterTheLastPage()
    {
        QVERIFY(openWorkedSample());
        const Snapshot before = snapshot();
        WorkerGate gate(*app, "Checking text", 12);
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        QVERIFY(gate.reached());
        app->cancelWork();
        gate.release();
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->status->text(), QString("Open cancelled. Previous document retained."));
        QVERIFY(unchanged(before));
    }

    void panelCancelledStartsNothing()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        const QString status = app->status->text();
        QTest::mouseClick(app->openButton, Qt::LeftButton); // no answer: cancelled
        QCOMPARE(driver->toolkit->count("chooseOpenPdf"), 2);
        QVERIFY(!app->busy());
        QCOMPARE(app->status->text(), status);

        // And while a task runs the button does nothing at all.
        app->token = std::make_shared<WorkCancellation>();
        app->openPDF();
        app->token.reset();
        QCOMPARE(driver->toolkit->count("chooseOpenPdf"), 2);
    }

    void successfulReopenResetsEverything()
    {
        QVERIFY(openWorkedSample());
        const PdfDocument* previous = app->document.get();
        app->mode->setSelectedSegment(1);
        QTest::mouseClick(app->reviewed, Qt::LeftButton, Qt::NoModifier,
                          QPoint(8, app->reviewed->height() / 2));
        QVERIFY(app->reviewed->isChecked());
        driver->toolkit->alerts.clear();

        QString statusAtCheck;
        driver->toolkit->onAlert = [&](const ScriptedToolkit::Alert&) {
            statusAtCheck = app->status->text();
        };
        QVERIFY(driver->open(TestPaths::samplePath()));

        const QString final = "12 pages in 2 geometry groups. Set regions for each group.";
        QCOMPARE(app->status->text(), final);
        QVERIFY(app->document.get() != previous);
        QCOMPARE(app->scope->selectedSegment(), 0);
        QCOMPARE(app->mode->selectedSegment(), 0);
        QVERIFY(!app->reviewed->isChecked());
        QVERIFY(app->groupRegions.isEmpty());
        QVERIFY(app->overrides.isEmpty());
        QVERIFY(app->annotations.isEmpty());
        QVERIFY(app->pdf->outlines().isEmpty());
        QCOMPARE(app->rows.size(), 12);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(app->rows[i].value("page").typeId(), int(QMetaType::Int));
            QCOMPARE(app->rows[i].value("page").toInt(), i + 1);
            QCOMPARE(app->rows[i].value("number").toString(), QString());
            QCOMPARE(app->rows[i].value("title").toString(), QString());
            QCOMPARE(app->rows[i].value("state").toString(),
                     app->noTextPages.contains(i) ? ReviewState::noText : ReviewState::needsRegions);
        }
        QCOMPARE(app->groupPicker->count(), 2);
        QCOMPARE(app->groupPicker->itemText(0), app->groups[0].description);
        QCOMPARE(app->groupPicker->currentIndex(), 0);
        QCOMPARE(app->activePage, 0);
        QCOMPARE(app->activeGroup, 0);
        QCOMPARE(app->pdf->currentPage(), 0);
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), 0);
        QVERIFY(app->pageNotice->text().startsWith("Page 1: inspect both regions."));
        QCOMPARE(app->readButton->text(), QString("Read group"));
        QVERIFY(app->exportButton->isEnabled());
        // The document check came after the final status.
        QCOMPARE(driver->toolkit->alerts.size(), 1);
        QCOMPARE(statusAtCheck, final);
        QCOMPARE(*app->sourceData, AppDriver::fileBytes(TestPaths::samplePath()));
    }

    void progressTexts()
    {
        QStringList labels;
        std::mutex lock;
        app->reportObserver = [&](int done, int total, const QString& label) {
            std::lock_guard guard(lock);
            labels.append(QString("%1 %2/%3").arg(label).arg(done).arg(total));
        };
        driver->toolkit->openAnswers.append(TestPaths::samplePath());
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        QCOMPARE(app->status->text(), QString("Loading and grouping PDF\u2026"));
        QVERIFY(driver->waitIdle());
        app->reportObserver = nullptr;
        QCOMPARE(labels.first(), QString("Grouping 1/12"));
        QVERIFY(labels.contains("Grouping 12/12"));
        QCOMPARE(labels.last(), QString("Checking text 12/12"));
        QCOMPARE(labels.indexOf("Checking text 1/12"), labels.indexOf("Grouping 12/12") + 1);
    }
};

QTEST_MAIN(OpenFlowTest)
#include "tst_openflow.moc"
