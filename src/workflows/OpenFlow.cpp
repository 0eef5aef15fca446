#include "App.h"

// The open flow: choose one PDF (or drop one onto the window), then on the
// worker read it, admit it, group its pages and find the pages without text
// (SourceFile::open); only when all of that succeeded and the task was not cancelled is the working state
// replaced, on the main thread, as a whole. Any failure or cancellation
// leaves the previous document and everything attached to it in place.

#include "MainWindow.h"
#include "PdfDocument.h"
#include "SegmentedControl.h"
#include "SourceFile.h"
#include "Toolkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QTableView>

namespace {

const QString cancelledText = QStringLiteral("Open cancelled. Previous document retained.");

void adoptOpened(App& app, SourceFile::Opened opened, const QString& path);

} // namespace

void App::openPDF()
{
    if (busy())
        return;
    const std::optional<QString> path = toolkit().chooseOpenPdf(window.get());
    if (!path || path->isEmpty())
        return;
    openFile(*path);
}

void App::openDropped(const QList<QUrl>& urls)
{
    if (busy())
        return;
    if (urls.size() > 1) {
        toolkit().alert(window.get(), QStringLiteral("Drop one PDF file at a time."),
                        QStringLiteral("Planfolio opens one drawing set at a time."));
        return;
    }
    const QString path =
        urls.isEmpty() || !urls.first().isLocalFile() ? QString() : urls.first().toLocalFile();
    // Text, a web link or a folder: nothing the open flow could read.
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        toolkit().alert(window.get(), QStringLiteral("Only a PDF file can be dropped here."),
                        QStringLiteral("Drag one PDF file from the file manager onto the window."));
        return;
    }
    openFile(path);
}

void App::openFile(const QString& path)
{
    if (busy())
        return;
    // Asked before the task starts: the user decides while the names are
    // still on screen. A failed open keeps them anyway.
    if (!mayDiscardTypedNames())
        return;
    const std::shared_ptr<WorkCancellation> cancel = begin(QStringLiteral("Loading and grouping PDF\u2026"));

    // The worker job may use `this`: the destructor cancels the token and
    // waits for the running job before anything of this object goes, and
    // deliver() drops blocks that arrive after it is gone.
    submit([this, path, cancel] {
        try {
            auto opened = std::make_shared<SourceFile::Opened>(
                SourceFile::open(path, *cancel, [this](const QString& label, int done, int total) {
                    report(done, total, label);
                }));
            deliver([this, cancel, opened, path] {
                // Cancelled after the worker's last check: nothing is replaced.
                if (cancel->isCancelled()) {
                    finish(cancelledText);
                    return;
                }
                adoptOpened(*this, std::move(*opened), path);
            });
        } catch (const CancellationError&) {
            deliver([this] { finish(cancelledText); });
        } catch (const TaskError& error) {
            deliver([this, message = error.message()] { finish(QStringLiteral("Open failed: ") + message); });
        } catch (const std::exception& error) {
            deliver([this, message = QString::fromUtf8(error.what())] {
                finish(QStringLiteral("Open failed: ") + message);
            });
        }
    });
}

namespace {

// Replaces the working state with the opened document's, as one block on
// the main thread, and sets up the review.
void adoptOpened(App& app, SourceFile::Opened opened, const QString& path)
{
    // The outlines belong to the previous document's pages.
    app.clearHighlights();

    // The page view lets go of the previous document before it is freed.
    std::unique_ptr<PdfDocument> previous = std::move(app.document);
    app.sourceData = std::move(opened.bytes);
    app.textLayers = std::move(opened.textLayers);
    app.document = std::move(opened.document);
    app.pdf->setDocument(app.document.get());
    previous.reset();

    app.groups = std::move(opened.groups);
    app.noTextPages = std::move(opened.noTextPages);
    app.bookmarkNames = std::move(opened.bookmarkNames);
    app.outlinedPages.clear();
    app.groupRegions.clear();
    app.overrides.clear();
    app.documentName = QFileInfo(path).fileName();
    app.groupPlaces.clear();
    app.typedPages.clear();
    app.edgeReasons.clear();

    app.rows.clear();
    const int pages = app.document->pageCount();
    app.rows.reserve(pages);
    for (int i = 0; i < pages; ++i)
        app.rows.append(
            makeRow(i, app.noTextPages.contains(i) ? ReviewState::noText : ReviewState::needsRegions));

    app.groupPicker->clear();
    for (const DrawingGroup& group : std::as_const(app.groups))
        app.groupPicker->addItem(group.description);
    app.reviewed->setChecked(false);
    app.reloadTable();
    app.scope->setSelectedSegment(0);
    app.mode->setSelectedSegment(0);

    // Row 0 and page 1 are shown before the task ends: the selection
    // handling does nothing while the task runs, so the final status below
    // is what the user reads, not the row's own status.
    if (!app.rows.isEmpty() && app.table && app.table->model())
        app.table->selectRow(0);
    app.showPage(0);

    app.finish(QString::number(pages) + QStringLiteral(" pages in ") + QString::number(app.groups.size()) +
               QStringLiteral(" geometry groups. Set regions for each group."));
    if (!app.noTextPages.isEmpty())
        app.documentCheck();
}

} // namespace
