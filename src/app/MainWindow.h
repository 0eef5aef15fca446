#pragma once

// The main window. It asks its owner whether a close request may go ahead
// (refused while a task runs) and tells it when the window has closed, so
// that the application decides itself whether closing ends the process.
// Drags onto the window are offered to the owner in the same way.

#include <QList>
#include <QMainWindow>
#include <QUrl>

#include <functional>

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Asked on every close request; no handler means yes.
    std::function<bool()> shouldClose;
    // Called after a close request was accepted.
    std::function<void()> didClose;
    // Asked when a drag enters or moves over the window; no handler means
    // drops are refused.
    std::function<bool()> acceptsDrops;
    // A drop the window accepted, with the dropped URLs (none when nothing
    // dropped was a URL, such as plain text).
    std::function<void(const QList<QUrl>&)> dropped;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
