// The review table from the keyboard: Up and Down walk the rows and show
// each page, Enter starts typing the row's number, Tab goes on to its title
// and then to the next row's number (Shift+Tab back), and every name typed
// this way is stored as a click-and-type edit would store it.

#include "../workflows/AppDriver.h"
#include "TestPaths.h"

#include <QApplication>
#include <QLabel>

class ReviewKeysTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;

    // The cell whose editor has the keyboard focus: (row, column identifier),
    // or (-1, "") when no editor is open.
    QPair<int, QString> editing() const
    {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor || !editor->isVisible() || editor->parentWidget() != app->table->viewport())
            return {-1, QString()};
        const QModelIndex current = app->table->currentIndex();
        return {current.row(),
                app->table->model()
                    ->headerData(current.column(), Qt::Horizontal, ReviewTableModel::IdentifierRole)
                    .toString()};
    }
    int selectedRow() const { return app->table->selectionModel()->selectedRows().value(0).row(); }
    // Types into the focused editor, replacing what it holds.
    static void typeText(const QString& text)
    {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        QVERIFY(QTest::qWaitForWindowActive(app->window.get()));
        app->table->setFocus();
    }
    void cleanup() { driver.reset(); }

    void upAndDownShowEachPage()
    {
        QCOMPARE(selectedRow(), 0);
        for (int page = 1; page <= 3; ++page) {
            QTest::keyClick(app->table, Qt::Key_Down);
            QCOMPARE(selectedRow(), page);
            QCOMPARE(app->activePage, page);
            QCOMPARE(app->pdf->currentPage(), page);
            QCOMPARE(app->status->text(),
                     QString("Page %1. Group regions. Solid: number; dashed: title.").arg(page + 1));
        }
        QTest::keyClick(app->table, Qt::Key_Up);
        QCOMPARE(app->activePage, 2);
        // Past the first row the selection stays where it is.
        QTest::keyClick(app->table, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(app->table, Qt::Key_Up);
        QCOMPARE(selectedRow(), 0);
        QCOMPARE(app->activePage, 0);
    }

    void enterAndTabTypeARowAfterAnother()
    {
        QTest::keyClick(app->table, Qt::Key_Down);
        QTest::keyClick(app->table, Qt::Key_Down);
        QTest::keyClick(app->table, Qt::Key_Return);
        QTRY_COMPARE(editing(), qMakePair(2, QString("number")));
        typeText("  A-103 ");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(editing(), qMakePair(2, QString("title")));
        // The number was stored as a typed edit is: trimmed, state edited.
        QCOMPARE(app->rows[2].value("number").toString(), QString("A-103"));
        QCOMPARE(app->rows[2].value("state").toString(), ReviewState::edited);
        typeText("FLOOR PLAN");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // On to the next row's number, whose page is shown.
        QTRY_COMPARE(editing(), qMakePair(3, QString("number")));
        QCOMPARE(app->rows[2].value("title").toString(), QString("FLOOR PLAN"));
        QCOMPARE(selectedRow(), 3);
        QCOMPARE(app->activePage, 3);

        // Shift+Tab walks back: the previous row's title, then its number.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(editing(), qMakePair(2, QString("title")));
        QCOMPARE(app->activePage, 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(editing(), qMakePair(2, QString("number")));
        // Return ends the edit and leaves the keyboard with the table.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(editing(), qMakePair(-1, QString()));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(app->table));
        QTest::keyClick(app->table, Qt::Key_Down);
        QCOMPARE(app->activePage, 3);
        // Untouched rows kept their names; row 3 was entered but not changed.
        QCOMPARE(app->rows[3].value("state").toString(), ReviewState::needsRegions);
    }

    void tabStopsAtTheEnds()
    {
        // Shift+Tab on the first number and Tab on the last title end the
        // edit in place.
        QTest::keyClick(app->table, Qt::Key_Return);
        QTRY_COMPARE(editing(), qMakePair(0, QString("number")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(editing(), qMakePair(-1, QString()));
        QCOMPARE(selectedRow(), 0);

        const int last = int(app->rows.size()) - 1;
        QTest::keyClick(app->table, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(app->activePage, last);
        QTest::keyClick(app->table, Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(editing(), qMakePair(last, QString("title")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(editing(), qMakePair(-1, QString()));
        QCOMPARE(selectedRow(), last);
    }

    void enterTypesNothingWhileATaskRuns()
    {
        const auto token = app->begin("Testing\u2026");
        QTest::keyClick(app->table, Qt::Key_Return);
        QCOMPARE(editing(), qMakePair(-1, QString()));
        app->finish("done");
        QTest::keyClick(app->table, Qt::Key_Return);
        QTRY_COMPARE(editing(), qMakePair(0, QString("number")));
    }
};

QTEST_MAIN(ReviewKeysTest)
#include "tst_reviewkeys.moc"
