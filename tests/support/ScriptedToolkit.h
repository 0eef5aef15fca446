#pragma once

// A toolkit for tests: dialogs answer from a script instead of waiting for a
// person, and every call is recorded in order.

#include "Toolkit.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ScriptedToolkit : public Toolkit
{
public:
    struct Alert
    {
        QString message;
        QString informative;
        QString button;
    };

    // --- Script -------------------------------------------------------------
    // Answers of the open panel, taken from the front; none left = cancelled.
    QList<std::optional<QString>> openAnswers;
    // Answers of the folder chooser, taken from the front; none left = cancelled.
    QList<std::optional<QString>> folderAnswers;
    // Answers of the regions save and open panels, taken from the front;
    // none left = cancelled.
    QList<std::optional<QString>> saveRegionsAnswers;
    QList<std::optional<QString>> openRegionsAnswers;
    // Answers of confirm(): true = the confirming button, taken from the
    // front; none left = confirmed, so that suites which do not script the
    // question behave as before it existed.
    QList<bool> confirmAnswers;
    struct Question
    {
        QString message;
        QString informative;
        QString confirmButton;
        QString cancelButton;
    };
    QList<Question> questions;
    // Runs while an alert is "on screen", before it is dismissed.
    std::function<void(const Alert&)> onAlert;

    // --- Record -------------------------------------------------------------
    // Every call by name ("alert", "confirm", "chooseOpenPdf", "chooseFolder",
    // "chooseSaveRegions", "chooseOpenRegions", "openInFileManager",
    // "terminate"), in order.
    QStringList calls;
    QList<Alert> alerts;
    QStringList folderConfirmTitles;
    QStringList openedFolders;
    QStringList suggestedRegionsNames;
    int terminations = 0;

    int count(const QString& call) const { return int(calls.count(call)); }

    void alert(QWidget* parent, const QString& message, const QString& informative = {},
               const QString& button = {}) override;
    bool confirm(QWidget* parent, const QString& message, const QString& informative,
                 const QString& confirmButton, const QString& cancelButton) override;
    std::optional<QString> chooseOpenPdf(QWidget* parent) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& confirmTitle) override;
    std::optional<QString> chooseSaveRegions(QWidget* parent, const QString& suggestedName) override;
    std::optional<QString> chooseOpenRegions(QWidget* parent) override;
    void openInFileManager(const QString& path) override;
    void terminate() override;
};
