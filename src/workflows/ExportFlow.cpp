#include "App.h"

// The export flow: the rows must pass the filename check and the review
// must be confirmed; the user chooses a parent folder; the export pipeline
// then runs on the worker from a document of its own opened from the
// source bytes (never the displayed one, whose pages carry outlines), and
// the new folder is opened in the file manager after a success.

#include "DocumentSafety.h"
#include "ExportFiles.h"
#include "MainWindow.h"
#include "PdfDocument.h"
#include "Toolkit.h"

#include <QCheckBox>
#include <QTableView>

void App::exportFiles()
{
    if (busy() || !sourceData)
        return;
    // A half-typed cell is stored and checked with the rest.
    commitPendingEdit();
    if (const std::optional<QString> problem = DocumentSafety::filenameProblem(rows)) {
        // The message names no row: the table shows the first one that
        // fails, with its reason in the row's tooltip.
        rowProblems = DocumentSafety::rowProblems(rows);
        for (int r = 0; r < rows.size(); ++r) {
            const QString number = rows[r].value(QStringLiteral("number")).toString();
            const QString title = rows[r].value(QStringLiteral("title")).toString();
            if (number.isEmpty() || title.isEmpty() || rowProblems.contains(r)) {
                if (table && table->model()) {
                    table->selectRow(r);
                    table->scrollTo(table->model()->index(r, 0));
                }
                break;
            }
        }
        alert(*problem + QStringLiteral(" Read every group in the table before exporting."));
        return;
    }
    if (!reviewed->isChecked()) {
        alert(QStringLiteral("Inspect every name against its source, then tick the review confirmation."));
        return;
    }
    const std::optional<QString> parent =
        toolkit().chooseFolder(window.get(), QStringLiteral("Choose parent folder"));
    if (!parent || parent->isEmpty())
        return;

    const QList<ReviewRow> exported = rows;
    const std::shared_ptr<WorkCancellation> cancel = begin(QStringLiteral("Exporting\u2026"));

    // `this` stays valid for the job: the destructor waits for it.
    submit([this, data = *sourceData, exported, parent = *parent, cancel] {
        try {
            cancel->check();
            const std::unique_ptr<PdfDocument> source = PdfDocument::open(data);
            if (!source)
                throw DrawingWorkflow::failure(QStringLiteral("Source PDF could not be reopened."));
            const std::filesystem::path folder = DocumentSafety::exportSheets(
                exported, *source, ExportFiles::toPath(parent), *cancel,
                [this](int done, int total) { report(done, total, QStringLiteral("Exporting")); });
            deliver([this, count = exported.size(), folder = ExportFiles::fromPath(folder)] {
                // Every row is in the register now: nothing typed is lost
                // by closing.
                typedPages.clear();
                finish(QStringLiteral("Exported ") + QString::number(count) +
                       QStringLiteral(" pages. Source untouched."));
                toolkit().openInFileManager(folder);
            });
        } catch (const CancellationError&) {
            deliver([this] { finish(QStringLiteral("Export cancelled; incomplete output removed.")); });
        } catch (const TaskError& error) {
            deliver(
                [this, message = error.message()] { finish(QStringLiteral("Export failed: ") + message); });
        } catch (const std::exception& error) {
            deliver([this, message = QString::fromUtf8(error.what())] {
                finish(QStringLiteral("Export failed: ") + message);
            });
        }
    });
}
