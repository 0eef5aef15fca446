#pragma once

// The main window. It asks its owner whether a close request may go ahead
// (refused while a task runs) and tells it when the window has closed, so
// that the application decides itself whether closing ends the process.

#include <QMainWindow>

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

protected:
    void closeEvent(QCloseEvent* event) override;
};
