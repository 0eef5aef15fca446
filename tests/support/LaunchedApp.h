#pragma once

// How every window suite starts the application, and how it reads which
// inputs the control rules left enabled.

#include "App.h"
#include "ScriptedToolkit.h"

#include <QStringList>

#include <memory>

// The application launched (window built, controls refreshed) with a
// scripted toolkit; `toolkit`, when given, receives the toolkit it owns.
std::unique_ptr<App> launchApp(ScriptedToolkit** toolkit = nullptr);

// The names of the enabled inputs, in a fixed order, followed by "regions"
// when the page view accepts drags.
QStringList enabledControls(const App& app);
