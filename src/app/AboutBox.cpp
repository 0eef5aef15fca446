#include "App.h"

#include "MainWindow.h"
#include "PlanfolioVersion.h"
#include "Toolkit.h"

QString App::aboutMessage()
{
    return QStringLiteral("Planfolio");
}

QString App::aboutText()
{
    return QStringList{
        QStringLiteral("Version ") + QLatin1String(Planfolio::version),
        QStringLiteral(
            "Splits a PDF drawing set into single-sheet PDFs named from the sheet number and title "
            "in each title block, with a register of the sheets."),
        QStringLiteral("Free software under the GNU General Public License, version 3 or later."),
    }
        .join(QStringLiteral("\n\n"));
}

// Reads and changes no state, so it is offered also while a task runs.
void App::showAbout()
{
    toolkit().alert(window.get(), aboutMessage(), aboutText());
}
