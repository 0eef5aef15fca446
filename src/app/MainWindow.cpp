#include "MainWindow.h"

#include <QCloseEvent>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (shouldClose && !shouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    if (didClose)
        didClose();
}
