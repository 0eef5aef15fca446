// The whole road on the sample set with suggestions, counted in clicks:
// open, the document check's alert, suggestions for all groups, "Use all",
// "Read all groups", the scanned sheet named from the keyboard, the
// confirmation and the export. A menu item counts two clicks (the menu and
// the item), a file chosen in the open panel two (a double click), a
// folder chooser's confirmation one. No wheel step is taken; the count is
// printed for the record.

#include "AppDriver.h"
#include "DocumentSafety.h"
#include "Fixtures.h"
#include "SuggestionBar.h"
#include "TestPaths.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

namespace {
// Counts the wheel events anything in the application receives.
class WheelCounter : public QObject
{
  public:
    int wheels = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            ++wheels;
        return false;
    }
};
} // namespace

class ClickRoadTest : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void wholeRoadInFewClicks()
    {
        const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
        AppDriver driver;
        App& app = *driver.app;
        WheelCounter wheelCounter;
        qApp->installEventFilter(&wheelCounter);
        int clicks = 0;
        const auto click = [&clicks](QWidget* widget) {
            ++clicks;
            QTest::mouseClick(widget, Qt::LeftButton);
        };
        const auto menuItem = [&clicks, &app](const QString& title) {
            QAction* item = findMenuItem(app, title);
            QVERIFY2(item && item->isEnabled(), qPrintable(title));
            clicks += 2;
            item->trigger();
        };

        // Open: the button, the file (a double click), the check's alert.
        driver.toolkit->openAnswers.append(TestPaths::samplePath());
        clicks += 2;
        click(app.openButton);
        QVERIFY(driver.waitIdle());
        QCOMPARE(driver.toolkit->count("alert"), 1);
        ++clicks;

        // Suggestions for every group and the sheet drawn elsewhere; use them.
        menuItem(QStringLiteral("Suggest regions for all groups"));
        QVERIFY(driver.waitIdle());
        QVERIFY2(app.suggestionBar->isVisible(), qPrintable(app.status->text()));
        QCOMPARE(app.suggestionBar->useButton()->text(), QStringLiteral("Use all"));
        click(app.suggestionBar->useButton());
        QCOMPARE(app.groupRegions.size(), 2);

        // One read for all of it.
        menuItem(QStringLiteral("Read all groups"));
        QVERIFY(driver.waitIdle());

        // The scanned sheet: its row, then the keyboard.
        int scanned = -1;
        for (const auto& sheet : sheets) {
            if (sheet.imageOnly)
                scanned = sheet.page;
        }
        ++clicks;
        driver.clickRow(scanned);
        QTest::keyClick(app.table, Qt::Key_Return);
        QLineEdit* editor = nullptr;
        QTRY_VERIFY((editor = app.table->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
        QTest::keyClicks(editor, sheets[scanned].number);
        QTest::keyClick(editor, Qt::Key_Tab);
        QLineEdit* titleEditor = nullptr;
        QTRY_VERIFY([&] {
            for (QLineEdit* candidate : app.table->viewport()->findChildren<QLineEdit*>()) {
                if (candidate->isVisible() && candidate != editor)
                    titleEditor = candidate;
            }
            return titleEditor != nullptr;
        }());
        QTest::keyClicks(titleEditor, sheets[scanned].title);
        QTest::keyClick(titleEditor, Qt::Key_Return);
        QTRY_COMPARE(app.rows[scanned].value("title").toString(), sheets[scanned].title);

        // Every name right.
        for (const auto& sheet : sheets) {
            QCOMPARE(app.rows[sheet.page].value("number").toString(), sheet.number);
            QCOMPARE(app.rows[sheet.page].value("title").toString(), sheet.title);
        }

        // Confirmation and export into the folder the chooser offers.
        ++clicks;
        QTest::mouseClick(app.reviewed, Qt::LeftButton, Qt::NoModifier, QPoint(8, app.reviewed->height() / 2));
        QVERIFY(app.reviewed->isChecked());
        QTemporaryDir parent;
        driver.toolkit->folderAnswers.append(parent.path());
        ++clicks;
        click(app.exportButton);
        QVERIFY(driver.waitIdle());
        QCOMPARE(app.status->text(), QStringLiteral("Exported 12 pages. Source untouched."));

        qApp->removeEventFilter(&wheelCounter);
        qInfo("clicks from open to export: %d; wheel steps: %d", clicks, wheelCounter.wheels);
        QCOMPARE(wheelCounter.wheels, 0);
        QVERIFY2(clicks <= 15, qPrintable(QString::number(clicks)));
    }
};

QTEST_MAIN(ClickRoadTest)
#include "tst_clickroad.moc"
