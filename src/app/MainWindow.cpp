#include "MainWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setAcceptDrops(true);
}

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

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Any drag is taken while drops are accepted, also one that will be
    // refused, so that the refusal can say why.
    if (acceptsDrops && acceptsDrops())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDrops && acceptsDrops())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!acceptsDrops || !acceptsDrops() || !event->mimeData()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (dropped)
        dropped(event->mimeData()->urls());
}
