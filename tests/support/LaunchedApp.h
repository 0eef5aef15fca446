#pragma once

// How every window suite starts the application, and how it reads which
// inputs the control rules left enabled.

#include "App.h"
#include "ScriptedToolkit.h"

#include <QStringList>

class QAction;
class QMenu;

#include <memory>

// The application launched (window built, controls refreshed) with a
// scripted toolkit; `toolkit`, when given, receives the toolkit it owns.
std::unique_ptr<App> launchApp(ScriptedToolkit** toolkit = nullptr);

// The names of the enabled inputs, in a fixed order, followed by "regions"
// when the page view accepts drags.
QStringList enabledControls(const App& app);

// The top-level menu titled `title` of the window's menu bar, and the item
// titled `title` in any of its menus; null when there is none.
QMenu* findMenu(const App& app, const QString& title);
QAction* findMenuItem(const App& app, const QString& title);
