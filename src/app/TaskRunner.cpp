#include "App.h"

#include "MainWindow.h"
#include "MonoProgress.h"
#include "RegionReviewPanel.h"
#include "SerialWorker.h"
#include "Toolkit.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

std::shared_ptr<WorkCancellation> App::begin(const QString& label)
{
    closeReviewPanel();
    commitPendingEdit();
    token = std::make_shared<WorkCancellation>();
    ++m_taskGeneration;
    progress->setProgressValue(0);
    status->setText(label);
    refreshControls();
    return token;
}

void App::report(int done, int total, const QString& label)
{
    // The worker runs one task at a time and a task's reports all come
    // before its completion, so the number read here is that task's.
    const quint64 generation = m_taskGeneration.load();
    if (reportObserver)
        reportObserver(done, total, label);
    {
        // One delivery waits at a time and shows the latest report: a burst
        // of reports (threads finishing pages together, or a main thread
        // that was busy) costs the main thread one update, not hundreds.
        const std::lock_guard lock(m_reportLock);
        const bool posted = m_pendingReport.has_value();
        m_pendingReport = PendingReport{generation, done, total, label};
        if (posted)
            return;
    }
    deliver([this] {
        PendingReport latest;
        {
            const std::lock_guard lock(m_reportLock);
            if (!m_pendingReport)
                return;
            latest = std::move(*m_pendingReport);
            m_pendingReport.reset();
        }
        if (!busy() || latest.generation != m_taskGeneration.load())
            return;
        progress->setProgressValue(double(latest.done) * 100.0 / double(std::max(1, latest.total)));
        // Once cancelled, the status keeps saying so until the task ends;
        // the page that was in progress may still report.
        if (token->isCancelled())
            return;
        status->setText(latest.label + QLatin1Char(' ') + QString::number(latest.done) + QLatin1Char('/') +
                        QString::number(latest.total));
    });
}

void App::finish(const QString& message)
{
    token.reset();
    ++m_taskGeneration;
    // An idle bar looks empty: a full one would read as work under way.
    progress->setProgressValue(0);
    if (m_closeWhenIdle) {
        m_closeWhenIdle = false;
        status->setText(message + QStringLiteral(" The window can be closed now."));
    } else {
        status->setText(message);
    }
    refreshControls();
}

void App::cancelWork()
{
    // Only a running task can be cancelled; the button is disabled otherwise.
    if (!token)
        return;
    token->cancel();
    cancelButton->setEnabled(false);
    cancelButton->setText(QStringLiteral("Cancelling\u2026"));
    status->setText(QStringLiteral("Cancelling after the current PDF operation; incomplete output will be removed."));
}

void App::alert(const QString& message)
{
    m_toolkit->alert(window.get(), message);
}

void App::submit(std::function<void()> job)
{
    worker->submit(std::move(job));
}

void App::deliver(std::function<void()> block)
{
    // Queued to this object: Qt discards the call if the object is deleted
    // first, and the guard covers a deletion under way.
    QPointer<App> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, block = std::move(block)] {
            if (self)
                block();
        },
        Qt::QueuedConnection);
}

void App::commitPendingEdit()
{
    if (!table)
        return;
    // An open cell editor is a visible child of the table's viewport;
    // commitData and closeEditor are the view's own slots for storing what
    // it holds and closing it.
    const auto editors = table->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* editor : editors) {
        if (!editor->isVisible())
            continue;
        QMetaObject::invokeMethod(table, "commitData", Q_ARG(QWidget*, editor));
        QMetaObject::invokeMethod(table, "closeEditor", Q_ARG(QWidget*, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
}

void App::closeReviewPanel()
{
    if (reviewPanel) {
        reviewPanelPlace = QRect(reviewPanel->pos(), reviewPanel->size());
        reviewPanel->close();
        reviewPanel->deleteLater();
        // Its crops still on their way are not wanted any more (a panel
        // opened next asks on the same channels).
        if (PageRenderer* renderer = pdf ? pdf->renderer() : nullptr) {
            renderer->cancel(RegionReviewPanel::numberChannel);
            renderer->cancel(RegionReviewPanel::titleChannel);
        }
    }
    reviewPanel = nullptr;
}
