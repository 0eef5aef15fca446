#include "App.h"

// The "Regions" menu and the page view's suggestion overlay: saving and
// applying regions files, and suggesting regions from the text layer.

#include "MainWindow.h"
#include "SuggestionBar.h"
#include "SuggestionOutlines.h"

#include <QAction>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>

void App::buildRegionsMenu()
{
    QMenu* menu = window->menuBar()->addMenu(QStringLiteral("Regions"));
    saveRegionsAction = menu->addAction(QStringLiteral("Save regions\u2026"));
    applyRegionsAction = menu->addAction(QStringLiteral("Apply regions\u2026"));
    menu->addSeparator();
    suggestRegionsAction = menu->addAction(QStringLiteral("Suggest regions"));
    connect(saveRegionsAction, &QAction::triggered, this, &App::saveRegions);
    connect(applyRegionsAction, &QAction::triggered, this, &App::applyRegions);
    connect(suggestRegionsAction, &QAction::triggered, this, &App::suggestRegions);

    suggestionOutlines = new SuggestionOutlines(pdf);
    suggestionBar = new SuggestionBar(pdf->viewport());
    connect(suggestionBar->useButton(), &QPushButton::clicked, this, &App::useSuggestion);
    connect(suggestionBar->dismissButton(), &QPushButton::clicked, this, &App::dismissSuggestion);
    // A suggestion belongs to one group of one document: showing another
    // group, or opening another document (which empties the picker), drops
    // it.
    connect(groupPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (suggestion && index != suggestion->group)
            dismissSuggestion();
    });
}
