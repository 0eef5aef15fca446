#pragma once

// The dialogs and desktop services that the application asks of the
// windowing toolkit, behind one small interface: the application reaches
// them only through here, so that tests can answer them from a script.
// Every call is made on the main thread; the modal ones return when the user
// has answered.

#include <QString>

#include <optional>

class QWidget;

class Toolkit
{
public:
    virtual ~Toolkit() = default;

    // A modal alert over `parent` with a message text, an informative text
    // (may be empty) and one button titled `button` (empty: the toolkit's
    // own default button). Returns when the user dismisses it.
    virtual void alert(QWidget* parent, const QString& message, const QString& informative = {},
                       const QString& button = {}) = 0;

    // A modal question over `parent` with a message text, an informative
    // text (may be empty) and two buttons: `confirmButton`, which carries
    // out what was asked, and `cancelButton`, the default, which does not.
    // True when the user chose `confirmButton`.
    virtual bool confirm(QWidget* parent, const QString& message, const QString& informative,
                         const QString& confirmButton, const QString& cancelButton) = 0;

    // A modal open panel that accepts one file of the PDF type. The chosen
    // file's path, or nothing when the user cancels.
    virtual std::optional<QString> chooseOpenPdf(QWidget* parent) = 0;

    // A modal chooser for one folder (files cannot be chosen) whose confirm
    // button reads `confirmTitle`. The folder's path, or nothing when the
    // user cancels.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& confirmTitle) = 0;

    // A modal save panel for a regions file (JSON), starting with the name
    // `suggestedName`; it asks before replacing an existing file. The
    // chosen path, or nothing when the user cancels.
    virtual std::optional<QString> chooseSaveRegions(QWidget* parent, const QString& suggestedName) = 0;

    // A modal open panel that accepts one regions file (JSON). The chosen
    // file's path, or nothing when the user cancels.
    virtual std::optional<QString> chooseOpenRegions(QWidget* parent) = 0;

    // Asks the desktop's file manager to open the folder at `path`; whether
    // it did is not reported.
    virtual void openInFileManager(const QString& path) = 0;

    // Ends the event loop at once; the process exits when control returns
    // to the entry point.
    virtual void terminate() = 0;
};
