#include "LaunchedApp.h"

#include "RegionView.h"
#include "SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
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
