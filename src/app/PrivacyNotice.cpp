#include "App.h"

#include "MainWindow.h"
#include "Toolkit.h"

QString App::privacyMessage()
{
    return QStringLiteral("Your drawings stay on your computer");
}

QString App::privacyText()
{
    return QStringList{
        QStringLiteral("Planfolio reads and splits PDFs on this computer. It uploads no drawings, uses no "
                       "cloud-based AI service and sends no usage analytics; all PDF processing stays local."),
        QStringLiteral("Opened PDFs and review edits exist only while Planfolio runs; nothing is stored. Exports "
                       "(the single-page PDFs and register.csv) are written to the folder you choose, and the "
                       "source file is never changed."),
        QStringLiteral("Cloud-sync services, shared folders and device backups may copy files on their own. "
                       "Exports are neither encrypted nor redacted and can carry the source\u2019s content and "
                       "metadata; keep sensitive drawings in a local folder with access control."),
        QStringLiteral("If you contact support, share only a synthetic or redacted example."),
    }
        .join(QStringLiteral("\n\n"));
}

// Reads and changes no state, so it is offered also while a task runs.
void App::showPrivacy()
{
    toolkit().alert(window.get(), privacyMessage(), privacyText(), QStringLiteral("Done"));
}
