#pragma once

// Drives the real main window the way a person does, for the workspace and
// workflow suites: the application launched with a scripted toolkit, files
// chosen through the scripted open panel, regions dragged with mouse events
// on the page view, buttons clicked, rows clicked, cells typed into. Also a
// gate that holds the worker at an exact progress report, so that a test
// can cancel a task at a known point without sleeping.
//
// Helpers that wait return false when what they wait for does not come;
// call them inside QVERIFY.

#include "App.h"
#include "MainWindow.h"
#include "ReviewTableModel.h"
#include "LaunchedApp.h"
#include "SegmentedControl.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class AppDriver
{
  public:
    std::unique_ptr<App> app;
    ScriptedToolkit* toolkit = nullptr;

    AppDriver()
    {
        app = launchApp(&toolkit);
    }

    // Waits (on the event loop) until no task runs.
    bool waitIdle()
    {
        return QTest::qWaitFor([this] { return !app->busy(); }, 60000);
    }

    // Opens `path` through the open button and waits for the task to end.
    bool open(const QString& path)
    {
        toolkit->openAnswers.append(path);
        QTest::mouseClick(app->openButton, Qt::LeftButton);
        return waitIdle();
    }

    // The page view's viewport point of a user-space point of the shown page.
    QPoint toView(const QPointF& user) const { return app->pdf->pageTransform().map(user).toPoint(); }

    // A drag on the page view from one corner of `user` (user space) to the
    // opposite one, with press, move and release events on its viewport.
    void drag(const QRectF& user)
    {
        QWidget* viewport = app->pdf->viewport();
        const QPoint from = toView(user.topLeft());
        const QPoint to = toView(user.bottomRight());
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(viewport, (from + to) / 2);
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
    }

    // A press at `from` and a release at `to` (user space) with a move
    // between: on an outline it moves or resizes it.
    void moveOutline(const QPointF& from, const QPointF& to)
    {
        QWidget* viewport = app->pdf->viewport();
        const QPoint a = toView(from), b = toView(to);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, a);
        QTest::mouseMove(viewport, (a + b) / 2);
        QTest::mouseMove(viewport, b);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, b);
    }

    // The number drag, then the title drag (the mode advances by itself).
    void dragRegions(const QRectF& number, const QRectF& title)
    {
        drag(number);
        drag(title);
    }

    // Clicks segment `index` of a segmented control.
    static void clickSegment(SegmentedControl* control, int index)
    {
        for (int x = 0; x < control->width(); ++x) {
            const QPoint point(x, control->height() / 2);
            if (control->segmentAt(point) == index) {
                // The middle of the segment: scan to its end.
                int end = x;
                while (end + 1 < control->width() && control->segmentAt(QPoint(end + 1, point.y())) == index)
                    ++end;
                QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint((x + end) / 2, point.y()));
                return;
            }
        }
        QFAIL("segment not found");
    }

    // Clicks row `row` of the review table.
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTableView* table = app->table;
        const QModelIndex index = table->model()->index(row, 0);
        table->scrollTo(index);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers, table->visualRect(index).center());
    }

    // Chooses group `group` in the picker with the keyboard, as a user
    // stepping through its items does.
    void chooseGroup(int group)
    {
        QComboBox* picker = app->groupPicker;
        while (picker->currentIndex() < group)
            QTest::keyClick(picker, Qt::Key_Down);
        while (picker->currentIndex() > group)
            QTest::keyClick(picker, Qt::Key_Up);
    }

    // Opens the cell editor of row `row`, column `key`, and types `text`
    // into it (replacing what it held); returns the editor.
    QLineEdit* typeInto(int row, const QString& key, const QString& text)
    {
        QTableView* table = app->table;
        const QModelIndex index = table->model()->index(row, ReviewTableModel::column(key));
        table->scrollTo(index);
        table->setCurrentIndex(index);
        table->edit(index);
        // A closed editor lingers until its deferred deletion: take the
        // visible one.
        QLineEdit* editor = nullptr;
        for (QLineEdit* candidate : table->viewport()->findChildren<QLineEdit*>()) {
            if (candidate->isVisible())
                editor = candidate;
        }
        if (!editor)
            return nullptr;
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        return editor;
    }

    // Types `text` into a cell and confirms it with Return.
    bool enter(int row, const QString& key, const QString& text)
    {
        const QPointer<QLineEdit> editor = typeInto(row, key, text);
        if (!editor)
            return false;
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits and closes on the next turn of the event loop.
        return QTest::qWaitFor([&editor] { return !editor || !editor->isVisible(); }, 10000);
    }

    // Writes `bytes` to `name` inside `dir`; the file's path, or "" when
    // it could not be written.
    static QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Holds the worker inside App::report() at the first report with `label`
// and `done`, until the test lets it go. The test waits for reached(),
// acts on the main thread (for example presses Cancel), then release()s.
// The observer it installs shares its state, so it stays harmless after
// the gate is gone.
class WorkerGate
{
  public:
    WorkerGate(App& app, const QString& label, int done) : m_state(std::make_shared<State>())
    {
        app.reportObserver = [state = m_state, label, done](int d, int, const QString& l) {
            if (l != label || d != done || state->used.fetchAndStoreOrdered(1) != 0)
                return;
            state->reached.release();
            // Bounded, so that a failing test cannot hang the worker.
            state->proceed.tryAcquire(1, 60000);
        };
    }
    ~WorkerGate() { release(); }

    // Waits, on the event loop, until the worker is held.
    bool reached()
    {
        return QTest::qWaitFor([this] { return m_state->reached.tryAcquire(); }, 60000);
    }
    void release()
    {
        if (m_state->released.fetchAndStoreOrdered(1) == 0)
            m_state->proceed.release();
    }

  private:
    struct State
    {
        QSemaphore reached;
        QSemaphore proceed;
        QAtomicInt used{0};
        QAtomicInt released{0};
    };
    std::shared_ptr<State> m_state;
};
