#include "LaunchedApp.h"

#include "MainWindow.h"
#include "RegionView.h"
#include "SegmentedControl.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

std::unique_ptr<App> launchApp(ScriptedToolkit** toolkit)
{
    auto scripted = std::make_unique<ScriptedToolkit>();
    if (toolkit)
        *toolkit = scripted.get();
    auto app = std::make_unique<App>(std::move(scripted));
    app->applicationDidFinishLaunching();
    return app;
}

QStringList enabledControls(const App& app)
{
    const QList<QPair<QString, QWidget*>> controls = {
        {"openButton", app.openButton},     {"groupPicker", app.groupPicker},     {"exportButton", app.exportButton},
        {"scope", app.scope},               {"mode", app.mode},                   {"readButton", app.readButton},
        {"resetButton", app.resetButton},   {"inspectButton", app.inspectButton}, {"checkButton", app.checkButton},
        {"reviewed", app.reviewed},         {"table", app.table},                 {"cancelButton", app.cancelButton}};
    QStringList names;
    for (const auto& [name, widget] : controls) {
        if (widget->isEnabled())
            names << name;
    }
    if (app.pdf->acceptsRegions())
        names << "regions";
    return names;
}

QMenu* findMenu(const App& app, const QString& title)
{
    for (QAction* action : app.window->menuBar()->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

QAction* findMenuItem(const App& app, const QString& title)
{
    for (QAction* top : app.window->menuBar()->actions()) {
        if (!top->menu())
            continue;
        for (QAction* action : top->menu()->actions()) {
            if (action->text() == title)
                return action;
        }
    }
    return nullptr;
}
