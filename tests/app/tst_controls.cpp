// The control rules: which controls can be used, and what the read, export
// and cancel buttons say, in each situation of the application, computed
// from the state alone.

#include "App.h"
#include "Fixtures.h"
#include "MonoProgress.h"
#include "PdfDocument.h"
#include "LaunchedApp.h"
#include "SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

const QStringList documentOpen = {"openButton", "groupPicker", "scope",    "mode",  "readButton",
                                  "inspectButton", "checkButton", "reviewed", "table", "regions"};

QStringList with(QStringList names, const QString& name, int at)
{
    names.insert(at, name);
    return names;
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<App> app;
    ScriptedToolkit* toolkit = nullptr;

    // Loads a three-page document into the state, as a finished open would.
    void loadDocument(bool withRows)
    {
        Fixtures::Document drawingSet;
        for (int i = 0; i < 3; ++i)
            drawingSet.pages.append(Fixtures::Page{});
        const QByteArray bytes = Fixtures::build(drawingSet).bytes;
        app->document = PdfDocument::open(bytes);
        QVERIFY(app->document);
        app->sourceData = bytes;
        app->groups = {DrawingGroup{{0, 1, 2}, "Group 1 \u00B7 3 pages \u00B7 612\u00D7792 pt \u00B7 0\u00B0"}};
        if (withRows) {
            for (int i = 0; i < 3; ++i)
                app->rows.append(makeRow(i, ReviewState::needsRegions));
        }
        app->refreshControls();
    }

private Q_SLOTS:
    void init()
    {
        app = launchApp(&toolkit);
    }
    void cleanup() { app.reset(); }

    void noDocument()
    {
        QCOMPARE(enabledControls(*app), QStringList({"openButton", "reviewed", "table", "regions"}));
        // Rules 8 and 9 do not look at the document: an override on the shown
        // page, or rows, are enough on their own.
        app->overrides.insert(0, PageRegions(QRectF(1, 1, 10, 10), std::nullopt));
        app->refreshControls();
        QCOMPARE(enabledControls(*app), QStringList({"openButton", "resetButton", "reviewed", "table", "regions"}));
    }

    void documentWithoutRows()
    {
        loadDocument(false);
        QCOMPARE(enabledControls(*app), documentOpen);
        QCOMPARE(app->exportButton->text(), QString("Export reviewed pages"));
    }

    void documentWithRows()
    {
        loadDocument(true);
        // Export is offered as soon as rows exist, ticked or not, read or not.
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(enabledControls(*app), with(documentOpen, "exportButton", 2));
    }

    void resetFollowsTheShownPagesOverride()
    {
        loadDocument(true);
        app->overrides.insert(1, PageRegions(QRectF(10, 10, 50, 20), QRectF(10, 40, 200, 20)));
        app->activePage = 0;
        app->refreshControls();
        QVERIFY(!app->resetButton->isEnabled());
        app->activePage = 1;
        app->refreshControls();
        QVERIFY(app->resetButton->isEnabled());
        QCOMPARE(enabledControls(*app), with(with(documentOpen, "exportButton", 2), "resetButton", 6));
        app->activePage = 2;
        app->refreshControls();
        QVERIFY(!app->resetButton->isEnabled());
    }

    void taskRunningAndCancelling()
    {
        loadDocument(true);
        app->overrides.insert(0, PageRegions(QRectF(10, 10, 50, 20), std::nullopt));
        app->begin("Reading selected pages\u2026");
        QCOMPARE(enabledControls(*app), QStringList({"cancelButton"}));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));

        app->cancelWork();
        QCOMPARE(enabledControls(*app), QStringList());
        QCOMPARE(app->cancelButton->text(), QString("Cancelling\u2026"));

        app->finish("Read cancelled. Previous results retained.");
        QCOMPARE(enabledControls(*app), with(with(documentOpen, "exportButton", 2), "resetButton", 6));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
    }

    void readButtonFollowsTheScope()
    {
        loadDocument(true);
        QCOMPARE(app->readButton->text(), QString("Read group"));
        app->scope->setSelectedSegment(1);
        app->refreshControls();
        QCOMPARE(app->readButton->text(), QString("Read this page"));
        app->scope->setSelectedSegment(0);
        app->refreshControls();
        QCOMPARE(app->readButton->text(), QString("Read group"));
        // The label holds while a task runs, too.
        app->scope->setSelectedSegment(1);
        app->begin("Reading selected pages\u2026");
        QCOMPARE(app->readButton->text(), QString("Read this page"));
    }

    void refreshUsesStateOnly()
    {
        loadDocument(true);
        // Whatever was done to the controls in between, a refresh restores
        // exactly what the state says.
        app->openButton->setEnabled(false);
        app->cancelButton->setEnabled(true);
        app->cancelButton->setText("Stop");
        app->exportButton->setText("Export");
        app->pdf->setAcceptsRegions(false);
        app->refreshControls();
        QCOMPARE(enabledControls(*app), with(documentOpen, "exportButton", 2));
        QCOMPARE(app->cancelButton->text(), QString("Cancel task"));
        QCOMPARE(app->exportButton->text(), QString("Export reviewed pages"));
        QCOMPARE(app->reviewed->palette().color(QPalette::Highlight), QColor(Qt::black));
    }

    void segmentedControlsDrawTheirSelectionInBlack()
    {
        loadDocument(true);
        QSignalSpy scopeClicks(app->scope, &SegmentedControl::segmentClicked);
        const QImage image = app->mode->grab().toImage();
        // Just inside the first (selected) segment's left edge, mid-height.
        QCOMPARE(QColor(image.pixel(4, image.height() / 2)), QColor(Qt::black));
        // The second segment is white.
        QCOMPARE(QColor(image.pixel(image.width() - 4, image.height() / 2)), QColor(Qt::white));

        // Selecting from the program never runs the control's action; a
        // click does.
        app->scope->setSelectedSegment(1);
        QCOMPARE(scopeClicks.count(), 0);
        const QRect second(app->scope->width() / 2, 0, app->scope->width() / 2, app->scope->height());
        QTest::mouseClick(app->scope, Qt::LeftButton, {}, QPoint(app->scope->width() / 10, second.center().y()));
        QCOMPARE(scopeClicks.count(), 1);
        QCOMPARE(app->scope->selectedSegment(), 0);
    }
};

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"
