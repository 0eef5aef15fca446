#pragma once

// The toolkit services of a running application: Qt's message box, file
// dialogs (Qt's own folder dialog, so that its confirm button can carry the
// requested title) and the desktop's URL handler.

#include "Toolkit.h"

class RealToolkit : public Toolkit
{
public:
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
