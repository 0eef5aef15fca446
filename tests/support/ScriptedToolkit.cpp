#include "ScriptedToolkit.h"

void ScriptedToolkit::alert(QWidget*, const QString& message, const QString& informative, const QString& button)
{
    calls.append(QStringLiteral("alert"));
    alerts.append({message, informative, button});
    if (onAlert)
        onAlert(alerts.last());
}

bool ScriptedToolkit::confirm(QWidget*, const QString& message, const QString& informative,
                              const QString& confirmButton, const QString& cancelButton)
{
    calls.append(QStringLiteral("confirm"));
    questions.append({message, informative, confirmButton, cancelButton});
    return confirmAnswers.isEmpty() ? true : confirmAnswers.takeFirst();
}

std::optional<QString> ScriptedToolkit::chooseOpenPdf(QWidget*)
{
    calls.append(QStringLiteral("chooseOpenPdf"));
    return openAnswers.isEmpty() ? std::nullopt : openAnswers.takeFirst();
}

std::optional<QString> ScriptedToolkit::chooseFolder(QWidget*, const QString& confirmTitle)
{
    calls.append(QStringLiteral("chooseFolder"));
    folderConfirmTitles.append(confirmTitle);
    return folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
}

std::optional<QString> ScriptedToolkit::chooseSaveRegions(QWidget*, const QString& suggestedName)
{
    calls.append(QStringLiteral("chooseSaveRegions"));
    suggestedRegionsNames.append(suggestedName);
    return saveRegionsAnswers.isEmpty() ? std::nullopt : saveRegionsAnswers.takeFirst();
}

std::optional<QString> ScriptedToolkit::chooseOpenRegions(QWidget*)
{
    calls.append(QStringLiteral("chooseOpenRegions"));
    return openRegionsAnswers.isEmpty() ? std::nullopt : openRegionsAnswers.takeFirst();
}

void ScriptedToolkit::openInFileManager(const QString& path)
{
    calls.append(QStringLiteral("openInFileManager"));
    openedFolders.append(path);
}

void ScriptedToolkit::terminate()
{
    calls.append(QStringLiteral("terminate"));
    ++terminations;
}
