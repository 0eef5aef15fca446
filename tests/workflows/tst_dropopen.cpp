// Opening by dropping a file onto the window: one file goes through the open
// flow with all its checks and refusals (the previous document stays when it
// is refused); several files, text, a web link or a folder are refused with
// an alert; while a task runs drags are turned away and drops ignored.

#include "AppDriver.h"
#include "TestPaths.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>

class DropOpenTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QTemporaryDir dir;

    // A drag of `data` entering the window over `widget`'s centre, then
    // dropped there. Whether the window took the drag, and the drop.
    QPair<bool, bool> dragAndDrop(const QMimeData& data, QWidget* widget = nullptr)
    {
        QWidget* window = app->window.get();
        const QPoint at = widget ? widget->mapTo(window, widget->rect().center()) : window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        return {enter.isAccepted(), drop.isAccepted()};
    }
    static std::unique_ptr<QMimeData> files(const QStringList& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        return data;
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
    }
    void cleanup() { driver.reset(); }

    void droppedFileGoesThroughTheOpenFlow()
    {
        QCOMPARE(dragAndDrop(*files({TestPaths::samplePath()})), qMakePair(true, true));
        QTRY_VERIFY(app->busy() || app->rows.size() == 12);
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows.size(), 12);
        QCOMPARE(app->status->text(), QString("12 pages in 2 geometry groups. Set regions for each group."));
        QCOMPARE(driver->toolkit->count("chooseOpenPdf"), 0);

        // A file that is not a PDF meets the open flow's refusal and leaves
        // the open document as it was.
        const QList<ReviewRow> rows = app->rows;
        const int alerts = driver->toolkit->count("alert");
        const PdfDocument* document = app->document.get();
        const QString notes = AppDriver::writeFile(dir, "notes.pdf", "Meeting notes, not a drawing.\n");
        QVERIFY(!notes.isEmpty());
        dragAndDrop(*files({notes}));
        QTRY_COMPARE(app->status->text(), QString("Open failed: This file is not a readable PDF."));
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->document.get(), document);
        QCOMPARE(app->rows, rows);
        QCOMPARE(driver->toolkit->count("alert"), alerts);
    }

    void otherDropsAreRefusedWithAnAlert_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("two files") << "two"
                                   << "Drop one PDF file at a time.";
        QTest::newRow("text") << "text"
                              << "Only a PDF file can be dropped here.";
        QTest::newRow("web link") << "link"
                                  << "Only a PDF file can be dropped here.";
        QTest::newRow("folder") << "folder"
                                << "Only a PDF file can be dropped here.";
    }
    void otherDropsAreRefusedWithAnAlert()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QVERIFY(driver->open(TestPaths::samplePath()));
        const QString status = app->status->text();
        // The sample's scanned sheet made the document check speak already.
        const int alerts = driver->toolkit->count("alert");
        auto data = std::make_unique<QMimeData>();
        if (kind == "two")
            data = files({TestPaths::samplePath(), TestPaths::samplePath()});
        else if (kind == "text")
            data->setText("A-101 FLOOR PLAN");
        else if (kind == "link")
            data->setUrls({QUrl("https://example.org/set.pdf")});
        else
            data = files({dir.path()});

        QCOMPARE(dragAndDrop(*data), qMakePair(true, true));
        QTRY_COMPARE(driver->toolkit->count("alert"), alerts + 1);
        QCOMPARE(driver->toolkit->alerts.last().message, message);
        QVERIFY(!driver->toolkit->alerts.last().informative.isEmpty());
        QVERIFY(!app->busy());
        QCOMPARE(app->status->text(), status);
        QCOMPARE(app->rows.size(), 12);
    }

    void ignoredWhileATaskRuns()
    {
        const auto token = app->begin("Testing\u2026");
        QCOMPARE(dragAndDrop(*files({TestPaths::samplePath()})), qMakePair(false, false));
        // A drop that arrives anyway does nothing, and says nothing.
        app->openDropped({QUrl::fromLocalFile(TestPaths::samplePath())});
        app->openDropped({});
        QTest::qWait(50);
        QCOMPARE(driver->toolkit->count("alert"), 0);
        QCOMPARE(app->status->text(), QString("Testing\u2026"));
        app->finish("done");
        QVERIFY(app->rows.isEmpty());
    }

    void dropsOverThePageViewAndTableReachTheWindow()
    {
        // The toolkit gives a drop to the innermost widget under the pointer
        // that accepts drops; none inside the window may catch it first.
        QVERIFY(driver->open(TestPaths::samplePath()));
        for (QWidget* over : {static_cast<QWidget*>(app->pdf->viewport()), app->table->viewport(),
                              static_cast<QWidget*>(app->openButton)}) {
            QWidget* target = app->window->childAt(over->mapTo(app->window.get(), over->rect().center()));
            while (target && !target->isWindow() && !target->acceptDrops())
                target = target->parentWidget();
            QCOMPARE(target, static_cast<QWidget*>(app->window.get()));
            QVERIFY(target->acceptDrops());
        }
    }
};

QTEST_MAIN(DropOpenTest)
#include "tst_dropopen.moc"
