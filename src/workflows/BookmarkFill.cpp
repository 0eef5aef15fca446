#include "App.h"

// "Fill names from bookmarks": a set whose outline names its sheets gives
// the pages without text their names, as if the user had typed them.

#include <QCheckBox>
#include <QLabel>

void App::fillFromBookmarks()
{
    if (busy() || !document)
        return;
    // A half-typed cell is stored first, so that it counts as a name.
    commitPendingEdit();
    int filled = 0;
    for (auto it = bookmarkNames.cbegin(); it != bookmarkNames.cend(); ++it) {
        const int page = it.key();
        if (page < 0 || page >= rows.size() || !noTextPages.contains(page))
            continue;
        ReviewRow& row = rows[page];
        if (!row.value(QStringLiteral("number")).toString().isEmpty() ||
            !row.value(QStringLiteral("title")).toString().isEmpty())
            continue;
        row.insert(QStringLiteral("number"), it->number);
        row.insert(QStringLiteral("title"), it->title);
        row.insert(QStringLiteral("state"), ReviewState::edited);
        ++filled;
    }
    if (filled > 0) {
        reviewed->setChecked(false);
        reloadTable();
    }
    status->setText(filled == 1 ? QStringLiteral("Filled 1 name from bookmarks.")
                                : QStringLiteral("Filled %1 names from bookmarks.").arg(filled));
    refreshControls();
}
