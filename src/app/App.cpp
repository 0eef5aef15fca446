#include "App.h"

#include "MainWindow.h"
#include "MonoProgress.h"
#include "PdfDocument.h"
#include "ReviewTableView.h"
#include "SegmentedControl.h"
#include "SerialWorker.h"
#include "Toolkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

App::App(std::unique_ptr<Toolkit> toolkit, QObject* parent)
    : QObject(parent),
      window(std::make_unique<MainWindow>()),
      pdf(new RegionView(window.get())),
      table(new ReviewTableView(window.get())),
      status(new QLabel(QStringLiteral("Open a text PDF. Documents stay on this computer."), window.get())),
      mode(new SegmentedControl({QStringLiteral("Number region"), QStringLiteral("Title region")}, window.get())),
      scope(new SegmentedControl({QStringLiteral("Apply to group"), QStringLiteral("This page only")},
                                 window.get())),
      groupPicker(new QComboBox(window.get())),
      reviewed(new QCheckBox(QStringLiteral("I checked every number and title against the source PDF"),
                             window.get())),
      openButton(new QPushButton(QStringLiteral("Open PDF"), window.get())),
      readButton(new QPushButton(QStringLiteral("Read group"), window.get())),
      exportButton(new QPushButton(QStringLiteral("Export reviewed pages"), window.get())),
      inspectButton(new QPushButton(QStringLiteral("Inspect regions"), window.get())),
      checkButton(new QPushButton(QStringLiteral("Document check"), window.get())),
      pageNotice(new QLabel(window.get())),
      resetButton(new QPushButton(QStringLiteral("Use group regions"), window.get())),
      cancelButton(new QPushButton(QStringLiteral("Cancel task"), window.get())),
      progress(new MonoProgress(window.get())),
      worker(std::make_unique<SerialWorker>(QStringLiteral("planfolio.document-work"))),
      m_toolkit(std::move(toolkit))
{
}

App::~App()
{
    // A running job holds this object: stop it before anything goes.
    if (token)
        token->cancel();
    worker->stop();
    if (pdf)
        pdf->setDocument(nullptr);
}

void App::applicationDidFinishLaunching()
{
    QCoreApplication::instance()->installEventFilter(this);
    applyLook();
    buildWindow();
    buildMenu();
    refreshControls();
    window->show();
    window->raise();
    window->activateWindow();
}

bool App::applicationShouldTerminate()
{
    if (!busy())
        return mayDiscardTypedNames();
    cancelWork();
    status->setText(QStringLiteral("Cancelling and cleaning up. Quit again when the task stops."));
    return false;
}

bool App::applicationShouldTerminateAfterLastWindowClosed() const
{
    return !busy();
}

bool App::applicationShouldHandleReopen(bool)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
    return true;
}

bool App::windowShouldClose()
{
    if (!busy())
        return mayDiscardTypedNames();
    cancelWork();
    m_closeWhenIdle = true;
    return false;
}

bool App::mayDiscardTypedNames()
{
    bool typed = false;
    for (int page : std::as_const(typedPages)) {
        if (page >= 0 && page < rows.size() &&
            (!rows[page].value(QStringLiteral("number")).toString().isEmpty() ||
             !rows[page].value(QStringLiteral("title")).toString().isEmpty()))
            typed = true;
    }
    if (!typed)
        return true;
    const QString name = documentName.isEmpty() ? QStringLiteral("this document") : documentName;
    if (!m_toolkit->confirm(window.get(),
                            QStringLiteral("Discard the names typed for ") + name +
                                QStringLiteral("? They are not saved anywhere."),
                            QString(), QStringLiteral("Discard"), QStringLiteral("Cancel")))
        return false;
    typedPages.clear();
    return true;
}

void App::quit()
{
    if (applicationShouldTerminate())
        m_toolkit->terminate();
}

bool App::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !applicationShouldTerminate())
        return true;
    return QObject::eventFilter(watched, event);
}
