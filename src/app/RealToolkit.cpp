#include "RealToolkit.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

void RealToolkit::alert(QWidget* parent, const QString& message, const QString& informative,
                        const QString& button)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Planfolio"));
    box.setIcon(QMessageBox::NoIcon);
    box.setText(message);
    box.setInformativeText(informative);
    // The message is the alert's headline; the informative text explains.
    if (auto* headline = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = headline->font();
        font.setBold(true);
        headline->setFont(font);
    }
    if (button.isEmpty())
        box.setStandardButtons(QMessageBox::Ok);
    else
        box.setDefaultButton(box.addButton(button, QMessageBox::AcceptRole));
    box.exec();
}

bool RealToolkit::confirm(QWidget* parent, const QString& message, const QString& informative,
                          const QString& confirmButton, const QString& cancelButton)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Planfolio"));
    box.setIcon(QMessageBox::NoIcon);
    box.setText(message);
    box.setInformativeText(informative);
    if (auto* headline = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = headline->font();
        font.setBold(true);
        headline->setFont(font);
    }
    QPushButton* yes = box.addButton(confirmButton, QMessageBox::DestructiveRole);
    QPushButton* no = box.addButton(cancelButton, QMessageBox::RejectRole);
    // Return and Escape both keep what the user has: the destructive
    // answer takes a deliberate click.
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

namespace {

const QString regionsFilter = QStringLiteral("Regions files (*.json)");

// What the user chose in `dialog`, run modally: its one file or folder,
// or nothing when cancelled.
std::optional<QString> chosenFile(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

} // namespace

std::optional<QString> RealToolkit::chooseOpenPdf(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The MIME database's globs for PDF match the extension in any case.
    dialog.setMimeTypeFilters({QStringLiteral("application/pdf")});
    return chosenFile(dialog);
}

std::optional<QString> RealToolkit::chooseFolder(QWidget* parent, const QString& confirmTitle)
{
    QFileDialog dialog(parent);
    // Qt's own dialog: a desktop-native one may ignore the confirm title.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, confirmTitle);
    return chosenFile(dialog);
}

std::optional<QString> RealToolkit::chooseSaveRegions(QWidget* parent, const QString& suggestedName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(regionsFilter);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(suggestedName);
    return chosenFile(dialog);
}

std::optional<QString> RealToolkit::chooseOpenRegions(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(regionsFilter);
    return chosenFile(dialog);
}

void RealToolkit::openInFileManager(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void RealToolkit::terminate()
{
    QCoreApplication::exit(0);
}
