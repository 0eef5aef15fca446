#include "App.h"

#include "SegmentedControl.h"
#include "SuggestionBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>

// The one place that decides which controls can be used and what three of
// the buttons say, from the state alone, every rule on every run.
void App::refreshControls()
{
    const bool idle = !busy();
    const bool open = document != nullptr;

    openButton->setEnabled(idle);                                         // 1
    groupPicker->setEnabled(idle && open);                                // 2
    inspectButton->setEnabled(idle && open);                              // 3
    checkButton->setEnabled(idle && open);                                // 4
    readButton->setEnabled(idle && open);                                 // 5
    scope->setEnabled(idle && open);                                      // 6
    mode->setEnabled(idle && open);                                       // 7
    resetButton->setEnabled(idle && overrides.contains(activePage));      // 8
    exportButton->setEnabled(idle && !rows.isEmpty());                    // 9
    reviewed->setEnabled(idle);                                           // 10
    QPalette tint = reviewed->palette();                                  // 11
    tint.setColor(QPalette::Highlight, Qt::black);
    tint.setColor(QPalette::Text, Qt::black);
    reviewed->setPalette(tint);
    table->setEnabled(idle);                                              // 12
    pdf->setAcceptsRegions(idle);                                         // 13
    cancelButton->setEnabled(!idle);                                      // 14
    cancelButton->setText(QStringLiteral("Cancel task"));                 // 15
    readButton->setText(scope->selectedSegment() != 0 ? QStringLiteral("Read this page")
                                                      : QStringLiteral("Read group")); // 16
    exportButton->setText(QStringLiteral("Export reviewed pages"));        // 17
    // The zoom commands (buttons, View menu and keys) go with the page:
    // only with a document and while no task runs.
    for (QAction* zoom : pdf->zoomActions())
        zoom->setEnabled(idle && open);
    if (readAllAction)
        readAllAction->setEnabled(idle && open);
    // Region files and suggestions.
    if (saveRegionsAction)
        saveRegionsAction->setEnabled(idle && open && (!groupRegions.isEmpty() || !overrides.isEmpty()));
    if (applyRegionsAction)
        applyRegionsAction->setEnabled(idle && open);
    if (suggestRegionsAction)
        suggestRegionsAction->setEnabled(idle && open);
    // Only a set whose bookmarks name sheets has names to fill.
    if (fillBookmarksAction)
        fillBookmarksAction->setEnabled(idle && open && !bookmarkNames.isEmpty());
    if (suggestAllAction)
        suggestAllAction->setEnabled(idle && open);
    if (suggestionBar) {
        suggestionBar->useButton()->setEnabled(idle);
        suggestionBar->dismissButton()->setEnabled(idle);
    }
}
