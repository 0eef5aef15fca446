// The window as assistive tools see it, through Qt's accessibility
// interfaces: the two segmented controls as groups of named, pressable,
// checkable segments that announce a change of selection, and every other
// control of the window with a name and, where it can be pressed, a press
// action.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "MonoProgress.h"
#include "TestPaths.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

namespace {

// What a state-change announcement said: the object, the child and whether
// the checked state is among the changes.
struct Announcement
{
    QObject* object = nullptr;
    int child = -1;
    bool checked = false;
};
QList<Announcement> announcements;

void record(QAccessibleEvent* event)
{
    if (event->type() != QAccessible::StateChanged)
        return;
    const auto* change = static_cast<QAccessibleStateChangeEvent*>(event);
    announcements.append({event->object(), event->child(), bool(change->changedStates().checked)});
}

// Every interface under `root`, depth first; the table's cells are left out.
QList<QAccessibleInterface*> tree(QAccessibleInterface* root)
{
    QList<QAccessibleInterface*> found;
    if (!root)
        return found;
    found.append(root);
    if (root->role() == QAccessible::Table)
        return found;
    for (int i = 0; i < root->childCount(); ++i)
        found += tree(root->child(i));
    return found;
}

QStringList actionsOf(QAccessibleInterface* iface)
{
    QAccessibleActionInterface* actions = iface->actionInterface();
    return actions ? actions->actionNames() : QStringList();
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    QAccessible::UpdateHandler previous = nullptr;

    QList<QAccessibleInterface*> windowTree() const
    {
        return tree(QAccessible::queryAccessibleInterface(app->window.get()));
    }
    // The interface named `name` with role `role` in the window.
    QAccessibleInterface* find(const QString& name, QAccessible::Role role) const
    {
        for (QAccessibleInterface* iface : windowTree()) {
            if (iface->role() == role && iface->text(QAccessible::Name) == name)
                return iface;
        }
        return nullptr;
    }
    void press(QAccessibleInterface* iface) const
    {
        QVERIFY(actionsOf(iface).contains(QAccessibleActionInterface::pressAction()));
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

  private Q_SLOTS:
    void initTestCase() { previous = QAccessible::installUpdateHandler(&record); }
    void cleanupTestCase() { QAccessible::installUpdateHandler(previous); }
    void init()
    {
        announcements.clear();
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
    }
    void cleanup() { driver.reset(); }

    void segmentsAreNamedCheckableRadioButtons()
    {
        for (SegmentedControl* control : {app->scope.data(), app->mode.data()}) {
            QAccessibleInterface* group = QAccessible::queryAccessibleInterface(control);
            QVERIFY(group);
            QCOMPARE(group->role(), QAccessible::Grouping);
            QCOMPARE(group->childCount(), 2);
            QCOMPARE(group->text(QAccessible::Name), control->label(0) + " / " + control->label(1));
            for (int i = 0; i < 2; ++i) {
                QAccessibleInterface* segment = group->child(i);
                QVERIFY(segment);
                // The same interface every time, knowing its place.
                QCOMPARE(group->child(i), segment);
                QCOMPARE(group->indexOfChild(segment), i);
                QCOMPARE(segment->parent(), group);
                QCOMPARE(segment->role(), QAccessible::RadioButton);
                QCOMPARE(segment->text(QAccessible::Name), control->label(i));
                QVERIFY(segment->state().checkable);
                QCOMPARE(bool(segment->state().checked), i == 0);
                // Where it is drawn, on screen.
                const QRect local = control->segmentRect(i);
                QCOMPARE(segment->rect(), QRect(control->mapToGlobal(local.topLeft()), local.size()));
                QCOMPARE(group->childAt(segment->rect().center().x(), segment->rect().center().y()), segment);
            }
        }
        // Without a document both are off: their segments cannot be pressed.
        QAccessibleInterface* thisPage = find("This page only", QAccessible::RadioButton);
        QVERIFY(thisPage);
        QVERIFY(thisPage->state().disabled);
        QVERIFY(actionsOf(thisPage).isEmpty());
        thisPage->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(app->scope->selectedSegment(), 0);
    }

    void pressingSegmentsByName()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        announcements.clear();

        QAccessibleInterface* thisPage = find("This page only", QAccessible::RadioButton);
        QVERIFY(thisPage);
        QVERIFY(!thisPage->state().disabled);
        press(thisPage);
        // As a click does: the scope changes and its action runs.
        QCOMPARE(app->scope->selectedSegment(), 1);
        QVERIFY(thisPage->state().checked);
        QVERIFY(!find("Apply to group", QAccessible::RadioButton)->state().checked);
        QCOMPARE(app->readButton->text(), QString("Read this page"));
        QCOMPARE(app->status->text(), QString("Select new regions for this page only, then read this page."));

        QAccessibleInterface* title = find("Title region", QAccessible::RadioButton);
        QVERIFY(title);
        press(title);
        QCOMPARE(app->mode->selectedSegment(), 1);
        QVERIFY(title->state().checked);

        // A change made by the program shows too: a number drag moves the
        // mode on to the title.
        press(find("Number region", QAccessible::RadioButton));
        QVERIFY(!title->state().checked);
        driver->drag(Fixtures::sampleNumberRegion(0));
        QCOMPARE(app->mode->selectedSegment(), 1);
        QVERIFY(title->state().checked);
    }

    void selectionChangesAreAnnounced()
    {
        // Qt hands accessibility events on only while the platform's bridge
        // to assistive tools is active; the offscreen platform has none.
        // Under X with an accessibility bus this case runs: inside
        // dbus-run-session, start /usr/libexec/at-spi-bus-launcher
        // --launch-immediately, then run the suite with QT_QPA_PLATFORM=xcb
        // and QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1.
        if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 1000))
            QSKIP("no active accessibility bridge on this platform");
        QVERIFY(driver->open(TestPaths::samplePath()));
        const auto announced = [](QObject* control, int child) {
            for (const Announcement& a : announcements) {
                if (a.object == control && a.child == child && a.checked)
                    return true;
            }
            return false;
        };
        announcements.clear();
        press(find("This page only", QAccessible::RadioButton));
        press(find("Title region", QAccessible::RadioButton));
        // Both segments of each change, as checked changes.
        QVERIFY(announced(app->scope, 0));
        QVERIFY(announced(app->scope, 1));
        QVERIFY(announced(app->mode, 0));
        QVERIFY(announced(app->mode, 1));
        // Changes made by the program too.
        press(find("Number region", QAccessible::RadioButton));
        announcements.clear();
        driver->drag(Fixtures::sampleNumberRegion(0));
        QVERIFY(announced(app->mode, 1));
    }

    void everyControlHasANameAndItsAction()
    {
        QVERIFY(driver->open(TestPaths::samplePath()));
        // The controls a person uses, as the window holds them.
        QList<QWidget*> controls;
        for (QWidget* widget : app->window->findChildren<QWidget*>()) {
            if (!widget->isVisible() || widget->window() != app->window.get())
                continue;
            if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                qobject_cast<SegmentedControl*>(widget) || widget == app->pdf || widget == app->table ||
                widget == app->progress)
                controls.append(widget);
        }
        // Inside the table and the page view's scroll bars there are buttons
        // of their own (header, scroll arrows); only the window's are meant.
        controls.removeIf([this](QWidget* widget) {
            return widget != app->table && widget != app->pdf &&
                   (app->table->isAncestorOf(widget) || app->pdf->isAncestorOf(widget));
        });
        QVERIFY(controls.size() >= 17);

        const QList<QAccessibleInterface*> everything = windowTree();
        for (QWidget* widget : controls) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            const QString what = QString::fromLatin1(widget->metaObject()->className()) + " " +
                                 widget->objectName() + " " + iface->text(QAccessible::Name);
            // Reachable from the window, named.
            QVERIFY2(everything.contains(iface), qPrintable(what));
            QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(what));
            const QStringList actions = actionsOf(iface);
            if (qobject_cast<QCheckBox*>(widget))
                QVERIFY2(actions.contains(QAccessibleActionInterface::toggleAction()), qPrintable(what));
            else if (qobject_cast<QAbstractButton*>(widget) && widget->isEnabled())
                QVERIFY2(actions.contains(QAccessibleActionInterface::pressAction()), qPrintable(what));
            else if (qobject_cast<QComboBox*>(widget))
                QVERIFY2(actions.contains(QAccessibleActionInterface::pressAction()), qPrintable(what));
        }
        // The zoom buttons are among them, by their names.
        for (const QString name : {"Zoom in", "Zoom out", "Fit page", "Zoom to regions"}) {
            QAccessibleInterface* zoom = find(name, QAccessible::Button);
            QVERIFY2(zoom, qPrintable(name));
            QVERIFY(actionsOf(zoom).contains(QAccessibleActionInterface::pressAction()));
        }
        const double fitted = app->pdf->scale();
        press(find("Zoom to regions", QAccessible::Button));
        QVERIFY(app->pdf->scale() > fitted);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
