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
#include <QVBoxLayout>

void App::buildRegionsMenu()
{
    QMenu* menu = window->menuBar()->addMenu(QStringLiteral("Regions"));
    saveRegionsAction = menu->addAction(QStringLiteral("Save regions\u2026"));
    applyRegionsAction = menu->addAction(QStringLiteral("Apply regions\u2026"));
    menu->addSeparator();
    suggestRegionsAction = menu->addAction(QStringLiteral("Suggest regions"));
    suggestAllAction = menu->addAction(QStringLiteral("Suggest regions for all groups"));
    connect(saveRegionsAction, &QAction::triggered, this, &App::saveRegions);
    connect(applyRegionsAction, &QAction::triggered, this, &App::applyRegions);
    connect(suggestRegionsAction, &QAction::triggered, this, &App::suggestRegions);
    connect(suggestAllAction, &QAction::triggered, this, &App::suggestAllGroups);

    suggestionOutlines = new SuggestionOutlines(pdf);
    // The bar sits above the page view, in the page's column, never over
    // the page.
    QWidget* pagePane = pdf->parentWidget();
    suggestionBar = new SuggestionBar(pagePane);
    if (auto* column = qobject_cast<QVBoxLayout*>(pagePane->layout()))
        column->insertWidget(column->indexOf(pdf), suggestionBar);
    connect(suggestionBar->useButton(), &QPushButton::clicked, this, &App::useSuggestion);
    connect(suggestionBar->dismissButton(), &QPushButton::clicked, this, &App::dismissSuggestion);
    // A suggestion belongs to one group of one document: showing another
    // group, or opening another document (which empties the picker), drops
    // it.
    // (A suggestion for all groups spans them all and stays.)
    connect(groupPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (suggestion && !suggestions && index != suggestion->group)
            dismissSuggestion();
    });
}
